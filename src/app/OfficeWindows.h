#pragma once

// Gives the embedded spreadsheet and word processor their windows: from then on a visible application
// shows each of its workbooks and documents in a window of its own. Called once at start-up, before any
// application is made; without it the embedded programs keep their files without windows.
void installOfficeWindows();
