#pragma once

#include <QStringList>

class QTextStream;

// tavlo-cadtext: the text tools for whole sets of drawings, without a window.
//   extract DRAWING... -o WORKBOOK [filters]
//   replace DRAWING... --manuscript WORKBOOK [--sheet NAME --from-row N --to-row N --from-col C --to-col C
//           --convert-font --match-width] [filters] [-o OUTDIR]
//   convert --to-traditional|--to-simplified DRAWING... [--convert-font] [filters] [-o OUTDIR]
// Filters: --layer, --style, --color, --form, --blocks, --attributes, --tables, --attribute-definitions,
// --all (the four boxes), and for extract --no-duplicates, --chinese-only.
namespace CadTextCommand {

enum ExitCode { Success = 0, Failed = 1, BadArguments = 2 };

// `arguments` without the program name. Summaries go to `out`, progress and errors to `err`.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace CadTextCommand
