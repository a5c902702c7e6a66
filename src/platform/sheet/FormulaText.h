#pragma once

#include <QByteArray>
#include <QString>

// The text of an .xls formula ("SUM(H2:H4)", without "=") from its parsed tokens, so that a formula read
// from an .xls file can be saved into an .xlsx file.
namespace tavlo::sheet::biff8 {

// Empty when the tokens hold anything this does not know how to write back as text: only the tokens
// that tokensAreSelfContained accepts, and among them not the reference operators (range, union,
// intersection) nor functions of unknown index.
QString formulaTextOfTokens(const QByteArray &tokens);

} // namespace tavlo::sheet::biff8
