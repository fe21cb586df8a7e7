#pragma once
// A two-column grid of named values with an editor per kind of value, and a
// description area under it that explains the current row. The parameter
// pages of plug-ins, plug-in channels and hooks fill it with buildParamsGrid
// and read it back with readParamsGrid.
//
//   ParamsGrid grid;
//   buildParamsGrid(&grid, defs, values);     // one row per definition
//   ... the user edits ...
//   readParamsGrid(&grid, values);            // name -> text, by type
//
// Each row's editor is found by tests as the child named "paramEditor-<name>"
// (for file, folder, colour and font rows its line edit; the button beside it
// is "paramBrowse-<name>").
#include <QString>
#include <QVariant>
#include <QWidget>

#include <vector>

#include "channels/plugin/paramDef.h"

class QLabel;
class QLineEdit;
class QTreeWidget;

class ParamsGrid : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Text, Password, Integer, Real, Boolean, Choice, File, Folder, Colour, Font };

    struct Options {
        QStringList choices;    // Choice
        QString fileExtension;  // File: default extension
        QString fileFilter;     // File: Qt filter ("Text files (*.txt);;All files (*)")
    };

    explicit ParamsGrid(QWidget* parent = nullptr);

    void setDescriptionAreaVisible(bool visible);
    bool isDescriptionAreaVisible() const;

    // Adds a row; value: int (Integer), bool (Boolean), double or its text
    // (Real), text otherwise. tag is the caller's (buildParamsGrid: the type).
    int addProperty(const QString& name, const QString& description, Kind kind, const QVariant& value, int tag,
                    const Options& options = Options());
    void removeAll();

    int propertyCount() const { return static_cast<int>(rows_.size()); }
    QString propertyName(int row) const { return rows_.at(row).name; }
    QString propertyDescription(int row) const { return rows_.at(row).description; }
    Kind propertyKind(int row) const { return rows_.at(row).kind; }
    int propertyTag(int row) const { return rows_.at(row).tag; }
    // The value as its kind holds it (int, bool, double, QString).
    QVariant value(int row) const;
    // The editor's text: a real number exactly as typed, booleans "1"/"0".
    QString valueText(int row) const;
    void setValue(int row, const QVariant& value);
    QWidget* editor(int row) const { return rows_.at(row).editor; }
    QTreeWidget* tree() const { return tree_; }
    // The description area's text (the current row's description).
    QString descriptionText() const;
    void setCurrentRow(int row);

private:
    struct Row {
        QString name;
        QString description;
        Kind kind;
        int tag;
        Options options;
        QWidget* editor;      // what value() reads
        QLineEdit* lineEdit;  // for the kinds edited as text
    };
    QWidget* makeEditor(Row& row);
    void browse(int row);

    QTreeWidget* tree_;
    QLabel* description_;
    std::vector<Row> rows_;
};

// One row per definition, in order, with the stored value (else the
// definition's default): integer, boolean (a whole number not 0), text, real
// number, file (with the definition's extension and filters).
void buildParamsGrid(ParamsGrid* grid, const channels::ParamDefs& defs, const channels::ParamValues& values);
// Clears values and reads every row back: integer in decimal, boolean "1" or
// "0", text and file as they stand, a real number as typed (no rounding).
// Rows of other types are skipped.
void readParamsGrid(const ParamsGrid* grid, channels::ParamValues& values);
