#pragma once

#include "RecordSchema.h"

#include <QWidget>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;

// The controls of the information-system panel: the query area above, record entry below with one
// labelled box per attribute.
class InfoPanel : public QObject {
    Q_OBJECT

public:
    // Builds the controls into `panel`, which stays owned by the main window.
    explicit InfoPanel(QGroupBox *panel);

    // Shows the attribute names on the record-entry labels.
    void showSchema(const RecordSchema &schema);

    QGroupBox *fraQuery = nullptr;
    QGroupBox *fraRecord = nullptr;
    std::array<QLabel *, RecordSchema::kAttributeCount> LabRecord{};
    std::array<QLineEdit *, RecordSchema::kAttributeCount> txtRecord{};
};
