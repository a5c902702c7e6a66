#pragma once

#include "RecordSchema.h"

#include <QStringList>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The controls of the information-system panel: the query area above, record entry below with one
// labelled box per attribute.
class InfoPanel : public QObject {
    Q_OBJECT

public:
    // Builds the controls into `panel`, which stays owned by the main window.
    explicit InfoPanel(QGroupBox *panel);

    // Shows the attribute names on the record-entry labels.
    void showSchema(const RecordSchema &schema);

    // The texts of the record boxes, the typed ones trimmed in place and the last (the computer the
    // record is typed on) given `inputer`.
    QStringList takeRecordFields(const QString &inputer);
    void focusRecord();
    // The texts of the keyword boxes, trimmed in place.
    QStringList takeKeywords();
    void focusKeywords();

    // The query options: keywords joined by AND (0) or OR (1), case and whole-word matching, and the
    // results shown in NotePad (0) or Excel (1). An index outside a list leaves none chosen.
    struct QueryOptions {
        bool matchCase = false;
        bool wholeWord = false;
        int andOr = 0;
        int showMode = 0;
    };
    QueryOptions queryOptions() const;
    void setQueryOptions(const QueryOptions &options);
    // The chosen display by name ("NotePad" or "Excel").
    QString showMode() const;

    static constexpr int kKeywordCount = 6;
    // The most characters a record box takes: what one workbook cell holds.
    static constexpr int kMaxFieldLength = 32767;

    QGroupBox *fraQuery = nullptr;
    std::array<QLineEdit *, kKeywordCount> txtQuery{};
    QComboBox *comAndOr = nullptr;
    QCheckBox *chkMatchCase = nullptr;
    QCheckBox *chkWholeWord = nullptr;
    QComboBox *comShowMode = nullptr;
    QPushButton *cmdQuery = nullptr;

    QGroupBox *fraRecord = nullptr;
    std::array<QLabel *, RecordSchema::kAttributeCount> LabRecord{};
    std::array<QLineEdit *, RecordSchema::kAttributeCount> txtRecord{};
    QPushButton *cmdRecord = nullptr;

private:
    void buildQuery();
    void buildRecord();
};
