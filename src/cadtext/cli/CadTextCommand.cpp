#include "CadTextCommand.h"

#include "cadtext/CadConnection.h"
#include "cadtext/ChineseConversion.h"
#include "cadtext/TextExtraction.h"
#include "cadtext/TextReplacement.h"
#include "common/modOffice.h"
#include "platform/drawing/CadDocument.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace CadTextCommand {

namespace {

using tavlo::drawing::CadDocument;
using tavlo::drawing::CadEntity;

struct Failure {
    int code;
    QString message;
};

enum class Verb { Extract, Replace, Convert };

// Everything the command line says, read and checked in one place.
struct Arguments {
    Verb verb = Verb::Extract;
    QStringList drawings;
    QString output; // -o: the workbook (extract) or the folder for the changed drawings
    TextWalk::Options walk;
    bool noDuplicates = false;
    bool chineseOnly = false;
    QString manuscript;
    QString sheet;              // empty: the manuscript's active sheet
    std::optional<int> fromRow; // checked against the sheet once it is read
    std::optional<int> toRow;   // empty: the last used row
    int fromColumn = 3;
    int toColumn = 4;
    bool convertFont = false;
    bool matchWidth = false;
    int mode = 0; // convert: 0 to simplified, 1 to traditional
    bool replaceBackup = false;
};

void defineOptions(QCommandLineParser &parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption({{"o", "output"}, "Workbook (extract) or folder for the changed drawings.", "path"});
    parser.addOption({"layer", "Only texts on this layer.", "name"});
    parser.addOption({"style", "Only texts in this text style.", "name"});
    parser.addOption({"color", "Only texts of this colour (a name such as Red, or its index).", "colour"});
    parser.addOption({"form", "Text or MText (default: both).", "form"});
    parser.addOption({"blocks", "Include texts inside blocks."});
    parser.addOption({"attributes", "Include block attributes (with --blocks)."});
    parser.addOption({"tables", "Include texts in tables."});
    parser.addOption({"attribute-definitions", "Include attribute definitions."});
    parser.addOption({"all", "The four above."});
    parser.addOption({"no-duplicates", "extract: a single-line text already written is not written again."});
    parser.addOption({"chinese-only", "extract: only texts that contain Chinese."});
    parser.addOption({"manuscript", "replace: the workbook with the translations.", "workbook"});
    parser.addOption({"sheet", "replace: the manuscript's sheet (default: its active sheet).", "name"});
    parser.addOption({"from-row", "replace: first manuscript row (default 1).", "n"});
    parser.addOption({"to-row", "replace: last manuscript row (default: the last used row).", "n"});
    parser.addOption({"from-col", "replace: source-text column (default C).", "column"});
    parser.addOption({"to-col", "replace: target-text column (default D).", "column"});
    parser.addOption({"convert-font", "replace/convert: replaced texts get a font for their language."});
    parser.addOption({"match-width", "replace: single-line texts keep their width."});
    parser.addOption({"to-traditional", "convert: simplified to traditional Chinese."});
    parser.addOption({"to-simplified", "convert: traditional to simplified Chinese."});
    parser.addOption({"replace-backup", "Saving in place: replace an existing backup (name.bak.dxf)."});
    parser.addHelpOption();
    parser.addPositionalArgument("command", "extract, replace or convert");
    parser.addPositionalArgument("drawings", "DXF drawings", "DRAWING...");
}

std::optional<Failure> readFilters(const QCommandLineParser &parser, TextWalk::Options &walk) {
    const bool all = parser.isSet("all");
    walk.insert = all || parser.isSet("blocks");
    walk.attribute = all || parser.isSet("attributes");
    walk.table = all || parser.isSet("tables");
    walk.attributeDefinition = all || parser.isSet("attribute-definitions");
    walk.lists.layer = parser.value("layer");
    walk.lists.style = parser.value("style");
    if (parser.isSet("form")) {
        const QString form = parser.value("form");
        if (form.compare("Text", Qt::CaseInsensitive) == 0)
            walk.lists.form = "Text";
        else if (form.compare("MText", Qt::CaseInsensitive) == 0)
            walk.lists.form = "MText";
        else
            return Failure{BadArguments, QString("--form must be Text or MText, not \"%1\"").arg(form)};
    }
    if (parser.isSet("color")) {
        const QString wanted = parser.value("color");
        bool isNumber = false;
        const int index = wanted.toInt(&isNumber);
        for (const QString &name : modAutoCAD::colorNames()) {
            if (name.compare(wanted, Qt::CaseInsensitive) == 0 ||
                (isNumber && index >= 0 && modAutoCAD::ColorNameToIndex(name) == index))
                walk.lists.color = name;
        }
        if (walk.lists.color.isEmpty() || walk.lists.color == modAutoCAD::colorNames().last())
            return Failure{BadArguments, QString("unknown colour \"%1\" (use %2, or 0-9, 256)")
                                             .arg(wanted, modAutoCAD::colorNames().mid(0, 11).join(", "))};
    }
    return std::nullopt;
}

std::optional<Failure> readReplaceOptions(const QCommandLineParser &parser, Arguments &arguments) {
    if (!parser.isSet("manuscript"))
        return Failure{BadArguments, "replace needs --manuscript WORKBOOK"};
    arguments.manuscript = parser.value("manuscript");
    arguments.sheet = parser.value("sheet");
    if (parser.isSet("sheet") && arguments.sheet.isEmpty())
        return Failure{BadArguments, "--sheet needs a sheet name"};
    for (const auto &[option, target] :
         {std::pair{"from-col", &arguments.fromColumn}, std::pair{"to-col", &arguments.toColumn}}) {
        if (!parser.isSet(option))
            continue;
        *target = OfficeSlots::ColumnNumber(parser.value(option));
        if (*target < 1 || *target > 256)
            return Failure{
                BadArguments,
                QString("--%1 must be a column from A (1) to IV (256)").arg(QLatin1String(option))};
    }
    for (const auto &[option, target] :
         {std::pair{"from-row", &arguments.fromRow}, std::pair{"to-row", &arguments.toRow}}) {
        if (!parser.isSet(option))
            continue;
        bool ok = false;
        const int row = parser.value(option).toInt(&ok);
        if (!ok || row < 1)
            return Failure{BadArguments, QString("--%1 must be a row number").arg(QLatin1String(option))};
        *target = row;
    }
    arguments.matchWidth = parser.isSet("match-width");
    return std::nullopt;
}

// The whole command line, `arguments` without the program name. Help text when asked for.
std::variant<Arguments, Failure, QString> parseArguments(const QStringList &commandLine) {
    QCommandLineParser parser;
    defineOptions(parser);
    if (!parser.parse(QStringList{"tavlo-cadtext"} + commandLine))
        return Failure{BadArguments, parser.errorText() + "\n" + parser.helpText()};
    if (parser.isSet("help"))
        return parser.helpText();
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return Failure{BadArguments, "no command given\n" + parser.helpText()};
    Arguments arguments;
    const QString command = positional.first();
    if (command == "extract")
        arguments.verb = Verb::Extract;
    else if (command == "replace")
        arguments.verb = Verb::Replace;
    else if (command == "convert")
        arguments.verb = Verb::Convert;
    else
        return Failure{BadArguments,
                       QString("unknown command \"%1\": use extract, replace or convert").arg(command)};
    arguments.drawings = positional.mid(1);
    if (arguments.drawings.isEmpty())
        return Failure{BadArguments, command + " needs at least one drawing"};
    if (auto failure = readFilters(parser, arguments.walk))
        return *failure;
    arguments.output = parser.value("o");
    arguments.replaceBackup = parser.isSet("replace-backup");
    arguments.convertFont = parser.isSet("convert-font");
    switch (arguments.verb) {
    case Verb::Extract: {
        if (arguments.output.isEmpty())
            return Failure{BadArguments, "extract needs -o WORKBOOK (.xlsx, .xls or .csv)"};
        const QString suffix = QFileInfo(arguments.output).suffix().toLower();
        if (suffix != "xlsx" && suffix != "xls" && suffix != "csv")
            return Failure{BadArguments, "the workbook must end in .xlsx, .xls or .csv: " + arguments.output};
        arguments.noDuplicates = parser.isSet("no-duplicates");
        arguments.chineseOnly = parser.isSet("chinese-only");
        break;
    }
    case Verb::Replace:
        if (auto failure = readReplaceOptions(parser, arguments))
            return *failure;
        break;
    case Verb::Convert: {
        const bool traditional = parser.isSet("to-traditional");
        if (traditional == parser.isSet("to-simplified"))
            return Failure{BadArguments, "convert needs one of --to-traditional and --to-simplified"};
        arguments.mode = traditional ? 1 : 0;
        break;
    }
    }
    return arguments;
}

class Command {
public:
    Command(const Arguments &arguments, QTextStream &out, QTextStream &err)
        : m_arguments(arguments)
        , m_out(out)
        , m_err(err) {}
    int run();

private:
    int extract();
    int replace();
    int convert();
    // Loads, walks with `change` (which returns the count of texts changed) and saves each drawing.
    int changeEach(const char *verb, const std::function<int(CadDocument &)> &change);
    std::unique_ptr<CadDocument> load(const QString &path);
    QList<CadEntity *> selectAll(CadDocument &document) const;
    TextWalk::StepCallback progress(const QString &name);
    QString targetOf(const QString &source) const;
    bool save(CadDocument &document, const QString &target, QString *saved);
    std::optional<Failure> checkOutputFolder();
    int fail(int code, const QString &message) {
        m_err << "tavlo-cadtext: " << message << Qt::endl;
        return code;
    }

    const Arguments &m_arguments;
    QTextStream &m_out;
    QTextStream &m_err;
};

std::unique_ptr<CadDocument> Command::load(const QString &path) {
    // There is no DWG reader: say what to do, as the panel does.
    if (CadConnection::isDwgFile(path)) {
        fail(Failed, CadConnection::dwgRefusal(path));
        return nullptr;
    }
    QString error;
    auto document = CadDocument::load(path, &error);
    if (!document)
        fail(Failed, QString("cannot read %1: %2").arg(QDir::toNativeSeparators(path), error));
    return document;
}

QList<CadEntity *> Command::selectAll(CadDocument &document) const {
    modAutoCAD::FilterChoice choice = m_arguments.walk.lists;
    const TextWalk::Options &walk = m_arguments.walk;
    choice.containers = walk.insert || walk.table || walk.attributeDefinition;
    const modAutoCAD::SelectionFilter filter = modAutoCAD::BuildSelectionFilter(choice);
    tavlo::drawing::CadSelectionSet *set = document.SelectionSets().Add(QStringLiteral("CADTEXTSET"));
    if (!set)
        return {};
    set->Select(tavlo::drawing::CadSelectionSet::acSelectionSetAll, filter.filterTypes, filter.filterData);
    const QList<CadEntity *> items = set->items();
    set->Delete();
    return items;
}

// Progress on stderr in tenths, so that long runs show they are alive without flooding a log.
TextWalk::StepCallback Command::progress(const QString &name) {
    auto shown = std::make_shared<int>(-1);
    return [this, name, shown](int done, int total) {
        const int tenth = total > 0 ? done * 10 / total : 10;
        if (tenth != *shown && total >= 1000) {
            *shown = tenth;
            m_err << name << ": " << tenth * 10 << "%" << Qt::endl;
        }
        return true;
    };
}

std::optional<Failure> Command::checkOutputFolder() {
    const QString &folderPath = m_arguments.output;
    if (folderPath.isEmpty())
        return std::nullopt;
    QDir folder(folderPath);
    if (!folder.exists() && !QDir().mkpath(folderPath))
        return Failure{Failed,
                       QString("cannot make the folder %1").arg(QDir::toNativeSeparators(folderPath))};
    QSet<QString> names;
    for (const QString &drawing : m_arguments.drawings) {
        const QString name = QFileInfo(drawing).fileName().toLower();
        if (names.contains(name))
            return Failure{BadArguments, QString("two drawings are named %1: they would overwrite each other "
                                                 "in %2")
                                             .arg(QFileInfo(drawing).fileName(), folderPath)};
        names.insert(name);
    }
    return std::nullopt;
}

// Into the output folder, or in place with the backup beside the file.
QString Command::targetOf(const QString &source) const {
    const QString inPlace = QFileInfo(source).absoluteFilePath();
    if (m_arguments.output.isEmpty())
        return inPlace;
    return QFileInfo(QDir(m_arguments.output).filePath(QFileInfo(source).fileName())).absoluteFilePath();
}

// False with the reason on stderr when nothing was written; *saved tells where it went otherwise.
bool Command::save(CadDocument &document, const QString &target, QString *saved) {
    const bool inPlace = target == document.FullName();
    if (inPlace && document.Saved()) {
        *saved = "unchanged, not saved"; // no rewrite, no backup for nothing
        return true;
    }
    const bool ok = inPlace ? document.Save(m_arguments.replaceBackup) : document.SaveAs(target);
    if (!ok) {
        QString why = document.lastError();
        if (inPlace && document.backupExists() && !m_arguments.replaceBackup)
            why += " (--replace-backup replaces it)";
        fail(Failed, QString("cannot save %1: %2").arg(QDir::toNativeSeparators(target), why));
        return false;
    }
    *saved = "-> " + QDir::toNativeSeparators(target);
    if (inPlace)
        *saved += " (backup " + QDir::toNativeSeparators(document.backupPath()) + ")";
    return true;
}

int Command::extract() {
    const QString bookPath = QFileInfo(m_arguments.output).absoluteFilePath();
    tavlo::sheet::Application *application = tavlo::sheet::Application::create();
    const auto quit = qScopeGuard([application] { application->Quit(); });
    // An existing workbook keeps what it holds (translations typed so far): the texts go below.
    tavlo::sheet::Workbook *book = QFileInfo::exists(bookPath) ? application->Workbooks().Open(bookPath)
                                                               : application->Workbooks().Add();
    if (!book)
        return fail(Failed, QString("cannot read %1: %2").arg(bookPath, application->lastError()));
    tavlo::sheet::Worksheet *sheet = book->ActiveSheet();
    if (!sheet || !sheet->setColumnsFormat(1, 3, "@"))
        return fail(Failed, "the workbook has no sheet to write to");
    TextExtraction::Options options;
    options.walk = m_arguments.walk;
    options.noDuplicate = m_arguments.noDuplicates;
    options.chineseOnly = m_arguments.chineseOnly;
    int total = 0;
    QStringList counts;
    // One drawing at a time: its texts are taken out and the drawing closed before they fill the sheet,
    // so that the drawing and the rows it gives are never in memory together. An unreadable drawing
    // stops the run before the workbook is written.
    for (const QString &path : m_arguments.drawings) {
        auto document = load(path);
        if (!document)
            return Failed;
        const QString name = document->Name();
        const int baseRow = sheet->UsedRange().lastRow();
        const TextExtraction::Texts texts =
            TextExtraction::CollectTexts(selectAll(*document), *sheet, baseRow, options, progress(name));
        document.reset();
        const int count = TextExtraction::WriteTexts(texts, name, *sheet, baseRow);
        total += count;
        counts << QString("%1: %2 texts extracted").arg(name).arg(count);
    }
    if (!book->SaveAs(bookPath)) {
        m_out << "nothing saved: " << QDir::toNativeSeparators(bookPath) << " was not written" << Qt::endl;
        return fail(Failed, QString("cannot save %1: %2").arg(bookPath, book->lastError()));
    }
    for (const QString &line : std::as_const(counts))
        m_out << line << Qt::endl;
    m_out << total << " texts -> " << QDir::toNativeSeparators(bookPath) << Qt::endl;
    return Success;
}

int Command::changeEach(const char *verb, const std::function<int(CadDocument &)> &change) {
    int result = Success;
    for (const QString &path : m_arguments.drawings) {
        auto document = load(path);
        if (!document) {
            result = Failed;
            continue;
        }
        const QString target = targetOf(path);
        // A read-only drawing is not changed in place, and not walked for nothing.
        if (target == document->FullName() && document->isReadOnly()) {
            fail(Failed, QString("%1 is read-only: nothing written (-o FOLDER writes the changed drawing "
                                 "elsewhere)")
                             .arg(QDir::toNativeSeparators(target)));
            m_out << document->Name() << ": nothing saved, the drawing is read-only" << Qt::endl;
            result = Failed;
            continue;
        }
        const int count = change(*document);
        QString saved;
        if (save(*document, target, &saved)) {
            m_out << document->Name() << ": " << count << " texts " << verb << " " << saved << Qt::endl;
            if (document->cutTextCount() > 0)
                m_out << document->Name() << ": " << document->cutTextCount()
                      << " single-line texts cut to 256 characters (the most a CAD program takes)"
                      << Qt::endl;
        } else {
            m_out << document->Name() << ": nothing saved (" << count << " texts were " << verb
                  << " in memory only)" << Qt::endl;
            result = Failed;
        }
    }
    return result;
}

int Command::replace() {
    if (auto failure = checkOutputFolder())
        return fail(failure->code, failure->message);
    tavlo::sheet::Application *application = tavlo::sheet::Application::create();
    const auto quit = qScopeGuard([application] { application->Quit(); });
    const QString &bookPath = m_arguments.manuscript;
    tavlo::sheet::Workbook *book = application->Workbooks().Open(bookPath);
    if (!book)
        return fail(Failed,
                    QString("cannot read the manuscript %1: %2").arg(bookPath, application->lastError()));
    tavlo::sheet::Worksheet *sheet =
        m_arguments.sheet.isEmpty() ? book->ActiveSheet() : book->Sheets(m_arguments.sheet);
    if (!sheet)
        return fail(BadArguments, QString("the manuscript has no sheet \"%1\"").arg(m_arguments.sheet));
    const int lastRow = sheet->UsedRange().lastRow();
    const int fromRow = m_arguments.fromRow.value_or(1);
    if (fromRow > lastRow)
        return fail(BadArguments, QString("--from-row must be a row from 1 to %1").arg(lastRow));
    const int toRow = m_arguments.toRow.value_or(lastRow);
    if (toRow < fromRow || toRow > lastRow)
        return fail(BadArguments, QString("--to-row must be a row from %1 to %2").arg(fromRow).arg(lastRow));

    TextReplacement::Options options;
    options.walk = m_arguments.walk;
    options.convertFont = m_arguments.convertFont;
    options.matchWidth = m_arguments.matchWidth;
    options.sample = sheet->value(toRow, m_arguments.toColumn);
    const auto manuscript = TextReplacement::Manuscript::fromSheet(
        *sheet, fromRow, toRow, m_arguments.fromColumn, m_arguments.toColumn);
    m_err << manuscript.rowCount() << " manuscript rows with a source and a translation" << Qt::endl;
    return changeEach("replaced", [&](CadDocument &document) {
        return TextReplacement::ReplaceTexts(selectAll(document), document, manuscript, options,
                                             progress(document.Name()));
    });
}

int Command::convert() {
    if (auto failure = checkOutputFolder())
        return fail(failure->code, failure->message);
    ChineseConversion::Options options;
    options.walk = m_arguments.walk;
    options.mode = m_arguments.mode;
    options.convertFont = m_arguments.convertFont;
    return changeEach("converted", [&](CadDocument &document) {
        return ChineseConversion::ConvertChinese(selectAll(document), document, options,
                                                 progress(document.Name()));
    });
}

int Command::run() {
    switch (m_arguments.verb) {
    case Verb::Extract:
        return extract();
    case Verb::Replace:
        return replace();
    case Verb::Convert:
        return convert();
    }
    return BadArguments;
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    const auto parsed = parseArguments(arguments);
    if (const auto *failure = std::get_if<Failure>(&parsed)) {
        err << "tavlo-cadtext: " << failure->message << Qt::endl;
        return failure->code;
    }
    if (const auto *help = std::get_if<QString>(&parsed)) {
        out << *help;
        return Success;
    }
    Command command(std::get<Arguments>(parsed), out, err);
    return command.run();
}

} // namespace CadTextCommand
