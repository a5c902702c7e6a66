#include "OfficeWindows.h"

#include "platform/document/DocumentWindow.h"
#include "platform/sheet/SheetWindow.h"

void installOfficeWindows() {
    tavlo::sheet::installSheetWindows();
    tavlo::document::installDocumentWindows();
}
