#include "widgets/controls/paramsGrid.h"

#include <climits>
#include <cstdlib>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleValidator>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/misc/fieldValues.h"
#include "lib/misc/stringHelpers.h"

namespace {

// "desc\0pattern\0desc\0pattern\0\0" (patterns separated by ';') as a Qt
// filter list.
QString qtFileFilter(const std::string& filters) {
    QStringList parts;
    std::size_t pos = 0;
    while (pos < filters.size()) {
        const std::size_t end = filters.find('\0', pos);
        if (end == pos || end == std::string::npos) break;
        const std::string desc = filters.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t patternEnd = filters.find('\0', pos);
        const std::string pattern =
            filters.substr(pos, patternEnd == std::string::npos ? std::string::npos : patternEnd - pos);
        pos = patternEnd == std::string::npos ? filters.size() : patternEnd + 1;
        QString patterns = QString::fromStdString(pattern);
        patterns.replace(';', ' ');
        parts << QString::fromStdString(desc) + " (" + patterns + ")";
    }
    return parts.join(";;");
}

int toInt(const std::string& text) {
    long long n = 0;
    switch (readLeadingInteger(text, n)) {
        case NumberRead::Ok:
            return n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : static_cast<int>(n);
        case NumberRead::OutOfRange:
            return text.find('-') < text.find_first_of("0123456789") ? INT_MIN : INT_MAX;
        case NumberRead::NoNumber:
            break;
    }
    return 0;
}

bool isRealNumber(const QString& text, double* value) {
    bool ok = false;
    const double d = QLocale::c().toDouble(text.trimmed(), &ok);
    if (ok && value != nullptr) *value = d;
    return ok;
}

}  // namespace

ParamsGrid::ParamsGrid(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("paramsTree");
    tree_->setColumnCount(2);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setAlternatingRowColors(true);
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(true);
    description_ = new QLabel(this);
    description_->setObjectName("paramsDescription");
    description_->setWordWrap(true);
    description_->setFrameShape(QFrame::StyledPanel);
    description_->setMinimumHeight(48);
    description_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    description_->setVisible(false);
    layout->addWidget(tree_, 1);
    layout->addWidget(description_);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        const int row = item != nullptr ? tree_->indexOfTopLevelItem(item) : -1;
        description_->setText(row >= 0 ? rows_.at(row).description : QString());
    });
}

void ParamsGrid::setDescriptionAreaVisible(bool visible) { description_->setVisible(visible); }
bool ParamsGrid::isDescriptionAreaVisible() const { return !description_->isHidden(); }
QString ParamsGrid::descriptionText() const { return description_->text(); }

void ParamsGrid::setCurrentRow(int row) { tree_->setCurrentItem(tree_->topLevelItem(row)); }

QWidget* ParamsGrid::makeEditor(Row& row) {
    const QString name = row.name;
    row.lineEdit = nullptr;
    switch (row.kind) {
        case Kind::Integer: {
            auto* spin = new QSpinBox;
            spin->setRange(INT_MIN, INT_MAX);
            return spin;
        }
        case Kind::Boolean:
            return new QCheckBox;
        case Kind::Choice: {
            auto* combo = new QComboBox;
            combo->addItems(row.options.choices);
            return combo;
        }
        case Kind::Text:
        case Kind::Password:
        case Kind::Real: {
            auto* edit = new QLineEdit;
            if (row.kind == Kind::Password) edit->setEchoMode(QLineEdit::Password);
            if (row.kind == Kind::Real) {
                auto* validator = new QDoubleValidator(edit);
                validator->setLocale(QLocale::c());
                validator->setNotation(QDoubleValidator::ScientificNotation);
                edit->setValidator(validator);
            }
            row.lineEdit = edit;
            return edit;
        }
        case Kind::File:
        case Kind::Folder:
        case Kind::Colour:
        case Kind::Font: {
            auto* box = new QWidget;
            auto* layout = new QHBoxLayout(box);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(2);
            row.lineEdit = new QLineEdit(box);
            auto* button = new QToolButton(box);
            button->setText("...");
            button->setObjectName("paramBrowse-" + name);
            layout->addWidget(row.lineEdit, 1);
            layout->addWidget(button);
            const int index = static_cast<int>(rows_.size());
            connect(button, &QToolButton::clicked, this, [this, index] { browse(index); });
            return box;
        }
    }
    return new QWidget;
}

int ParamsGrid::addProperty(const QString& name, const QString& description, Kind kind, const QVariant& value, int tag,
                            const Options& options) {
    Row row{name, description, kind, tag, options, nullptr, nullptr};
    row.editor = makeEditor(row);
    (row.lineEdit != nullptr ? static_cast<QWidget*>(row.lineEdit) : row.editor)->setObjectName("paramEditor-" + name);
    auto* item = new QTreeWidgetItem(QStringList{name});
    item->setToolTip(0, description);
    tree_->addTopLevelItem(item);
    tree_->setItemWidget(item, 1, row.editor);
    // A click into an editor makes its row current (and shows its description).
    QWidget* focusTarget = row.lineEdit != nullptr ? row.lineEdit : row.editor;
    rows_.push_back(row);
    const int index = static_cast<int>(rows_.size()) - 1;
    setValue(index, value);
    connect(qApp, &QApplication::focusChanged, this, [this, index, focusTarget](QWidget*, QWidget* now) {
        if (now == focusTarget && index < propertyCount()) setCurrentRow(index);
    });
    return index;
}

void ParamsGrid::removeAll() {
    tree_->clear();
    rows_.clear();
    description_->clear();
}

QVariant ParamsGrid::value(int row) const {
    const Row& r = rows_.at(row);
    switch (r.kind) {
        case Kind::Integer:
            return static_cast<QSpinBox*>(r.editor)->value();
        case Kind::Boolean:
            return static_cast<QCheckBox*>(r.editor)->isChecked();
        case Kind::Choice:
            return static_cast<QComboBox*>(r.editor)->currentText();
        case Kind::Real: {
            double d = 0;
            isRealNumber(r.lineEdit->text(), &d);
            return d;
        }
        default:
            return r.lineEdit->text();
    }
}

QString ParamsGrid::valueText(int row) const {
    const Row& r = rows_.at(row);
    switch (r.kind) {
        case Kind::Integer:
            return QString::number(static_cast<QSpinBox*>(r.editor)->value());
        case Kind::Boolean:
            return static_cast<QCheckBox*>(r.editor)->isChecked() ? "1" : "0";
        case Kind::Choice:
            return static_cast<QComboBox*>(r.editor)->currentText();
        case Kind::Real: {
            const QString text = r.lineEdit->text().trimmed();
            return isRealNumber(text, nullptr) ? text : QStringLiteral("0");
        }
        default:
            return r.lineEdit->text();
    }
}

void ParamsGrid::setValue(int row, const QVariant& value) {
    Row& r = rows_.at(row);
    switch (r.kind) {
        case Kind::Integer:
            static_cast<QSpinBox*>(r.editor)->setValue(value.toInt());
            break;
        case Kind::Boolean:
            static_cast<QCheckBox*>(r.editor)->setChecked(value.toBool());
            break;
        case Kind::Choice:
            static_cast<QComboBox*>(r.editor)->setCurrentText(value.toString());
            break;
        case Kind::Real:
            if (value.typeId() == QMetaType::QString) {
                r.lineEdit->setText(value.toString());
            } else {
                r.lineEdit->setText(QString::number(value.toDouble(), 'g', 17));
            }
            break;
        default:
            r.lineEdit->setText(value.toString());
            break;
    }
}

void ParamsGrid::browse(int index) {
    Row& r = rows_.at(index);
    const QString current = r.lineEdit->text();
    QString chosen;
    switch (r.kind) {
        case Kind::File: {
            QFileDialog dialog(this, r.name, current, r.options.fileFilter);
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.setFileMode(QFileDialog::ExistingFile);
            if (!r.options.fileExtension.isEmpty()) dialog.setDefaultSuffix(r.options.fileExtension);
            if (!current.isEmpty()) dialog.selectFile(current);
            if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
                chosen = dialog.selectedFiles().first();
            }
            break;
        }
        case Kind::Folder: {
            QFileDialog dialog(this, r.name, current);
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly);
            if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
                chosen = dialog.selectedFiles().first();
            }
            break;
        }
        case Kind::Colour: {
            const QColor colour = QColorDialog::getColor(QColor::fromString(current), this, r.name);
            if (colour.isValid()) chosen = colour.name();
            break;
        }
        case Kind::Font: {
            bool ok = false;
            QFont initial;
            if (!current.isEmpty()) initial.fromString(current);
            const QFont font = QFontDialog::getFont(&ok, initial, this, r.name);
            if (ok) chosen = font.toString();
            break;
        }
        default:
            break;
    }
    if (!chosen.isEmpty()) r.lineEdit->setText(chosen);
}

void buildParamsGrid(ParamsGrid* grid, const channels::ParamDefs& defs, const channels::ParamValues& values) {
    grid->setDescriptionAreaVisible(true);
    grid->setUpdatesEnabled(false);
    for (const channels::ParamDef& def : defs) {
        auto it = values.find(def.name);
        const std::string& text = it != values.end() ? it->second : def.defaultValue;
        const QString name = QString::fromStdString(def.name);
        const QString description = QString::fromStdString(def.description);
        switch (def.type) {
            case channels::ParamTypeInt:
                grid->addProperty(name, description, ParamsGrid::Kind::Integer, toInt(text), def.type);
                break;
            case channels::ParamTypeBool:
                grid->addProperty(name, description, ParamsGrid::Kind::Boolean, toInt(text) != 0, def.type);
                break;
            case channels::ParamTypeString:
                grid->addProperty(name, description,
                                  channels::isPasswordParam(def) ? ParamsGrid::Kind::Password : ParamsGrid::Kind::Text,
                                  QString::fromStdString(text), def.type);
                break;
            case channels::ParamTypeDouble: {
                // Shown as stored when it is a number, so that no digit is lost.
                const QString stored = QString::fromStdString(trimmedCopy(text));
                QVariant value = stored;
                if (!isRealNumber(stored, nullptr)) value = std::strtod(text.c_str(), nullptr);
                grid->addProperty(name, description, ParamsGrid::Kind::Real, value, def.type);
                break;
            }
            case channels::ParamTypeFile: {
                ParamsGrid::Options options;
                options.fileExtension = QString::fromStdString(def.defaultFileExtn);
                options.fileFilter = qtFileFilter(def.fileFilters);
                grid->addProperty(name, description, ParamsGrid::Kind::File, QString::fromStdString(text), def.type,
                                  options);
                break;
            }
            default:
                break;
        }
    }
    grid->setUpdatesEnabled(true);
}

void readParamsGrid(const ParamsGrid* grid, channels::ParamValues& values) {
    values.clear();
    for (int row = 0; row < grid->propertyCount(); ++row) {
        const int type = grid->propertyTag(row);
        if (type < channels::ParamTypeInt || type > channels::ParamTypeFile) continue;
        values.emplace(grid->propertyName(row).toStdString(), grid->valueText(row).toStdString());
    }
}
