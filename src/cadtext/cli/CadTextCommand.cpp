#include "CadTextCommand.h"

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

#include <memory>
#include <optional>

namespace CadTextCommand {

namespace {

using tavlo::drawing::CadDocument;
using tavlo::drawing::CadEntity;

struct Failure {
    int code;
    QString message;
};

class Command {
public:
    Command(QTextStream &out, QTextStream &err)
        : m_out(out)
        , m_err(err) {}
    int run(const QStringList &arguments);

private:
    void define();
    std::optional<Failure> readWalkOptions();
    int extract(const QStringList &drawings);
    int replace(const QStringList &drawings);
    int convert(const QStringList &drawings);
    std::unique_ptr<CadDocument> load(const QString &path);
    QList<CadEntity *> selectAll(CadDocument &document) const;
    TextWalk::StepCallback progress(const QString &name);
    bool save(CadDocument &document, const QString &source);
    void reportCutTexts(const CadDocument &document) {
        if (document.cutTextCount() > 0)
            m_out << document.Name() << ": " << document.cutTextCount()
                  << " single-line texts cut to 256 characters (the most a CAD program takes)" << Qt::endl;
    }
    std::optional<Failure> checkOutputFolder(const QStringList &drawings);
    int fail(int code, const QString &message) {
        m_err << "tavlo-cadtext: " << message << Qt::endl;
        return code;
    }

    QTextStream &m_out;
    QTextStream &m_err;
    QCommandLineParser m_parser;
    TextWalk::Options m_walk;
    QString m_outputFolder;
};

void Command::define() {
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption({{"o", "output"}, "Workbook (extract) or folder for the changed drawings.", "path"});
    m_parser.addOption({"layer", "Only texts on this layer.", "name"});
    m_parser.addOption({"style", "Only texts in this text style.", "name"});
    m_parser.addOption({"color", "Only texts of this colour (a name such as Red, or its index).", "colour"});
    m_parser.addOption({"form", "Text or MText (default: both).", "form"});
    m_parser.addOption({"blocks", "Include texts inside blocks."});
    m_parser.addOption({"attributes", "Include block attributes (with --blocks)."});
    m_parser.addOption({"tables", "Include texts in tables."});
    m_parser.addOption({"attribute-definitions", "Include attribute definitions."});
    m_parser.addOption({"all", "The four above."});
    m_parser.addOption(
        {"no-duplicates", "extract: a single-line text already written is not written again."});
    m_parser.addOption({"chinese-only", "extract: only texts that contain Chinese."});
    m_parser.addOption({"manuscript", "replace: the workbook with the translations.", "workbook"});
    m_parser.addOption({"sheet", "replace: the manuscript's sheet (default: its active sheet).", "name"});
    m_parser.addOption({"from-row", "replace: first manuscript row (default 1).", "n"});
    m_parser.addOption({"to-row", "replace: last manuscript row (default: the last used row).", "n"});
    m_parser.addOption({"from-col", "replace: source-text column (default C).", "column"});
    m_parser.addOption({"to-col", "replace: target-text column (default D).", "column"});
    m_parser.addOption({"convert-font", "replace/convert: replaced texts get a font for their language."});
    m_parser.addOption({"match-width", "replace: single-line texts keep their width."});
    m_parser.addOption({"to-traditional", "convert: simplified to traditional Chinese."});
    m_parser.addOption({"to-simplified", "convert: traditional to simplified Chinese."});
    m_parser.addOption({"replace-backup", "Saving in place: replace an existing backup (name.bak.dxf)."});
    m_parser.addHelpOption();
    m_parser.addPositionalArgument("command", "extract, replace or convert");
    m_parser.addPositionalArgument("drawings", "DXF drawings", "DRAWING...");
}

std::optional<Failure> Command::readWalkOptions() {
    const bool all = m_parser.isSet("all");
    m_walk.insert = all || m_parser.isSet("blocks");
    m_walk.attribute = all || m_parser.isSet("attributes");
    m_walk.table = all || m_parser.isSet("tables");
    m_walk.attributeDefinition = all || m_parser.isSet("attribute-definitions");
    m_walk.lists.layer = m_parser.value("layer");
    m_walk.lists.style = m_parser.value("style");
    if (m_parser.isSet("form")) {
        const QString form = m_parser.value("form");
        if (form.compare("Text", Qt::CaseInsensitive) == 0)
            m_walk.lists.form = "Text";
        else if (form.compare("MText", Qt::CaseInsensitive) == 0)
            m_walk.lists.form = "MText";
        else
            return Failure{BadArguments, QString("--form must be Text or MText, not \"%1\"").arg(form)};
    }
    if (m_parser.isSet("color")) {
        const QString wanted = m_parser.value("color");
        bool isNumber = false;
        const int index = wanted.toInt(&isNumber);
        for (const QString &name : modAutoCAD::colorNames()) {
            if (name.compare(wanted, Qt::CaseInsensitive) == 0 ||
                (isNumber && index >= 0 && modAutoCAD::ColorNameToIndex(name) == index))
                m_walk.lists.color = name;
        }
        if (m_walk.lists.color.isEmpty() || m_walk.lists.color == modAutoCAD::colorNames().last())
            return Failure{BadArguments, QString("unknown colour \"%1\" (use %2, or 0-9, 256)")
                                             .arg(wanted, modAutoCAD::colorNames().mid(0, 11).join(", "))};
    }
    return std::nullopt;
}

std::unique_ptr<CadDocument> Command::load(const QString &path) {
    QString error;
    auto document = CadDocument::load(path, &error);
    if (!document)
        fail(Failed, QString("cannot read %1: %2").arg(QDir::toNativeSeparators(path), error));
    return document;
}

QList<CadEntity *> Command::selectAll(CadDocument &document) const {
    modAutoCAD::FilterChoice choice = m_walk.lists;
    choice.containers = m_walk.insert || m_walk.table || m_walk.attributeDefinition;
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

std::optional<Failure> Command::checkOutputFolder(const QStringList &drawings) {
    if (m_outputFolder.isEmpty())
        return std::nullopt;
    QDir folder(m_outputFolder);
    if (!folder.exists() && !QDir().mkpath(m_outputFolder))
        return Failure{Failed,
                       QString("cannot make the folder %1").arg(QDir::toNativeSeparators(m_outputFolder))};
    QSet<QString> names;
    for (const QString &drawing : drawings) {
        const QString name = QFileInfo(drawing).fileName().toLower();
        if (names.contains(name))
            return Failure{BadArguments, QString("two drawings are named %1: they would overwrite each other "
                                                 "in %2")
                                             .arg(QFileInfo(drawing).fileName(), m_outputFolder)};
        names.insert(name);
    }
    return std::nullopt;
}

// Into the output folder, or in place with the backup beside the file.
bool Command::save(CadDocument &document, const QString &source) {
    const QString inPlace = QFileInfo(source).absoluteFilePath();
    const QString target =
        m_outputFolder.isEmpty()
            ? inPlace
            : QFileInfo(QDir(m_outputFolder).filePath(QFileInfo(source).fileName())).absoluteFilePath();
    if (target == inPlace && document.Saved()) {
        m_out << "  unchanged, not saved" << Qt::endl; // no rewrite, no backup for nothing
        return true;
    }
    const bool ok =
        target == inPlace ? document.Save(m_parser.isSet("replace-backup")) : document.SaveAs(target);
    if (!ok) {
        QString why = document.lastError();
        if (document.backupExists() && !m_parser.isSet("replace-backup"))
            why += " (--replace-backup replaces it)";
        fail(Failed, QString("cannot save %1: %2").arg(QDir::toNativeSeparators(target), why));
        return false;
    }
    m_out << "  -> " << QDir::toNativeSeparators(target);
    if (target == inPlace)
        m_out << " (backup " << QDir::toNativeSeparators(document.backupPath()) << ")";
    m_out << Qt::endl;
    return true;
}

int Command::extract(const QStringList &drawings) {
    if (m_outputFolder.isEmpty())
        return fail(BadArguments, "extract needs -o WORKBOOK (.xlsx, .xls or .csv)");
    const QString bookPath = QFileInfo(m_outputFolder).absoluteFilePath();
    const QString suffix = QFileInfo(bookPath).suffix().toLower();
    if (suffix != "xlsx" && suffix != "xls" && suffix != "csv")
        return fail(BadArguments, "the workbook must end in .xlsx, .xls or .csv: " + m_outputFolder);
    // Every drawing is read first: an unreadable one stops the run before the workbook is touched.
    std::vector<std::unique_ptr<CadDocument>> documents;
    for (const QString &path : drawings) {
        documents.push_back(load(path));
        if (!documents.back())
            return Failed;
    }
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
    options.walk = m_walk;
    options.noDuplicate = m_parser.isSet("no-duplicates");
    options.chineseOnly = m_parser.isSet("chinese-only");
    int total = 0;
    for (auto &document : documents) {
        const int count =
            TextExtraction::ExtractTexts(selectAll(*document), document->Name(), *sheet,
                                         sheet->UsedRange().lastRow(), options, progress(document->Name()));
        total += count;
        m_out << document->Name() << ": " << count << " texts extracted" << Qt::endl;
        document.reset(); // its texts are in the sheet now: the memory goes before the next one is walked
    }
    if (!book->SaveAs(bookPath))
        return fail(Failed, QString("cannot save %1: %2").arg(bookPath, book->lastError()));
    m_out << total << " texts -> " << QDir::toNativeSeparators(bookPath) << Qt::endl;
    return Success;
}

int Command::replace(const QStringList &drawings) {
    if (!m_parser.isSet("manuscript"))
        return fail(BadArguments, "replace needs --manuscript WORKBOOK");
    const int fromColumn =
        OfficeSlots::ColumnNumber(m_parser.value("from-col").isEmpty() ? "C" : m_parser.value("from-col"));
    const int toColumn =
        OfficeSlots::ColumnNumber(m_parser.value("to-col").isEmpty() ? "D" : m_parser.value("to-col"));
    if (fromColumn < 1 || fromColumn > 256)
        return fail(BadArguments, "--from-col must be a column from A (1) to IV (256)");
    if (toColumn < 1 || toColumn > 256)
        return fail(BadArguments, "--to-col must be a column from A (1) to IV (256)");
    if (auto failure = checkOutputFolder(drawings))
        return fail(failure->code, failure->message);

    tavlo::sheet::Application *application = tavlo::sheet::Application::create();
    const auto quit = qScopeGuard([application] { application->Quit(); });
    const QString bookPath = m_parser.value("manuscript");
    tavlo::sheet::Workbook *book = application->Workbooks().Open(bookPath);
    if (!book)
        return fail(Failed,
                    QString("cannot read the manuscript %1: %2").arg(bookPath, application->lastError()));
    tavlo::sheet::Worksheet *sheet =
        m_parser.isSet("sheet") ? book->Sheets(m_parser.value("sheet")) : book->ActiveSheet();
    if (!sheet)
        return fail(BadArguments, QString("the manuscript has no sheet \"%1\"").arg(m_parser.value("sheet")));
    const int lastRow = sheet->UsedRange().lastRow();
    bool ok = true;
    const int fromRow = m_parser.isSet("from-row") ? m_parser.value("from-row").toInt(&ok) : 1;
    if (!ok || fromRow < 1 || fromRow > lastRow)
        return fail(BadArguments, QString("--from-row must be a row from 1 to %1").arg(lastRow));
    const int toRow = m_parser.isSet("to-row") ? m_parser.value("to-row").toInt(&ok) : lastRow;
    if (!ok || toRow < fromRow || toRow > lastRow)
        return fail(BadArguments, QString("--to-row must be a row from %1 to %2").arg(fromRow).arg(lastRow));

    TextReplacement::Options options;
    options.walk = m_walk;
    options.convertFont = m_parser.isSet("convert-font");
    options.matchWidth = m_parser.isSet("match-width");
    options.sample = sheet->value(toRow, toColumn);
    const auto manuscript =
        TextReplacement::Manuscript::fromSheet(*sheet, fromRow, toRow, fromColumn, toColumn);
    m_err << manuscript.rowCount() << " manuscript rows with a source and a translation" << Qt::endl;
    int result = Success;
    for (const QString &path : drawings) {
        auto document = load(path);
        if (!document) {
            result = Failed;
            continue;
        }
        const int count = TextReplacement::ReplaceTexts(selectAll(*document), *document, manuscript, options,
                                                        progress(document->Name()));
        m_out << document->Name() << ": " << count << " texts replaced" << Qt::endl;
        reportCutTexts(*document);
        if (!save(*document, path))
            result = Failed;
    }
    return result;
}

int Command::convert(const QStringList &drawings) {
    const bool traditional = m_parser.isSet("to-traditional");
    if (traditional == m_parser.isSet("to-simplified"))
        return fail(BadArguments, "convert needs one of --to-traditional and --to-simplified");
    if (auto failure = checkOutputFolder(drawings))
        return fail(failure->code, failure->message);
    ChineseConversion::Options options;
    options.walk = m_walk;
    options.mode = traditional ? 1 : 0;
    options.convertFont = m_parser.isSet("convert-font");
    int result = Success;
    for (const QString &path : drawings) {
        auto document = load(path);
        if (!document) {
            result = Failed;
            continue;
        }
        const int count = ChineseConversion::ConvertChinese(selectAll(*document), *document, options,
                                                            progress(document->Name()));
        m_out << document->Name() << ": " << count << " texts converted" << Qt::endl;
        reportCutTexts(*document);
        if (!save(*document, path))
            result = Failed;
    }
    return result;
}

int Command::run(const QStringList &arguments) {
    define();
    if (!m_parser.parse(QStringList{"tavlo-cadtext"} + arguments))
        return fail(BadArguments, m_parser.errorText() + "\n" + m_parser.helpText());
    if (m_parser.isSet("help")) {
        m_out << m_parser.helpText();
        return Success;
    }
    const QStringList positional = m_parser.positionalArguments();
    if (positional.isEmpty())
        return fail(BadArguments, "no command given\n" + m_parser.helpText());
    const QString command = positional.first();
    const QStringList drawings = positional.mid(1);
    if (command != "extract" && command != "replace" && command != "convert")
        return fail(BadArguments,
                    QString("unknown command \"%1\": use extract, replace or convert").arg(command));
    if (drawings.isEmpty())
        return fail(BadArguments, command + " needs at least one drawing");
    if (auto failure = readWalkOptions())
        return fail(failure->code, failure->message);
    m_outputFolder = m_parser.value("o");
    if (command == "extract")
        return extract(drawings);
    if (command == "replace")
        return replace(drawings);
    return convert(drawings);
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    Command command(out, err);
    return command.run(arguments);
}

} // namespace CadTextCommand
