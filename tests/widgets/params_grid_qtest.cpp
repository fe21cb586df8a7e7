// The parameter grid: each parameter type shown with its editor and read
// back in its stored form.
#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

#include "widgets/controls/paramsGrid.h"

using channels::ParamDef;

class ParamsGridTest : public QObject {
    Q_OBJECT
private slots:
    void roundTripOfEachType_data();
    void roundTripOfEachType();
    void editsAreReadBack();
    void descriptionFollowsTheCurrentRow();
};

static ParamDef def(const std::string& name, channels::ParamType type, const std::string& defaultValue) {
    ParamDef d;
    d.name = name;
    d.type = type;
    d.defaultValue = defaultValue;
    d.description = "About " + name;
    return d;
}

void ParamsGridTest::roundTripOfEachType_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("stored");  // "<none>": use the default
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("integer") << 1 << "42"
                             << "7"
                             << "42";
    QTest::newRow("integer with letters") << 1 << "12px"
                                          << ""
                                          << "12";
    QTest::newRow("integer default") << 1 << "<none>"
                                     << "-3"
                                     << "-3";
    QTest::newRow("integer beyond int") << 1 << "99999999999"
                                        << ""
                                        << "2147483647";
    QTest::newRow("boolean 2 is set") << 2 << "2"
                                      << "0"
                                      << "1";
    QTest::newRow("boolean 0") << 2 << "0"
                               << "1"
                               << "0";
    QTest::newRow("boolean not a number") << 2 << "yes"
                                          << ""
                                          << "0";
    QTest::newRow("text") << 3 << "caf\u00e9 & <b>"
                          << ""
                          << "caf\u00e9 & <b>";
    QTest::newRow("real keeps its digits") << 4 << "3.14159265358979"
                                           << ""
                                           << "3.14159265358979";
    QTest::newRow("real large") << 4 << "1234567.891"
                                << ""
                                << "1234567.891";
    QTest::newRow("real exponent") << 4 << "6.02e23"
                                   << ""
                                   << "6.02e23";
    QTest::newRow("real not a number") << 4 << "abc"
                                       << ""
                                       << "0";
    QTest::newRow("file") << 5 << "/tmp/some file.txt"
                          << ""
                          << "/tmp/some file.txt";
}

void ParamsGridTest::roundTripOfEachType() {
    QFETCH(int, type);
    QFETCH(QString, stored);
    QFETCH(QString, defaultValue);
    QFETCH(QString, readBack);
    ParamsGrid grid;
    channels::ParamDefs defs{def("P", static_cast<channels::ParamType>(type), defaultValue.toStdString())};
    channels::ParamValues values;
    if (stored != "<none>") values["P"] = stored.toStdString();
    buildParamsGrid(&grid, defs, values);
    QCOMPARE(grid.propertyCount(), 1);
    QVERIFY(grid.isDescriptionAreaVisible());
    channels::ParamValues out{{"stale", "x"}};
    readParamsGrid(&grid, out);
    QCOMPARE(out.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(out["P"]), readBack);
}

void ParamsGridTest::editsAreReadBack() {
    ParamsGrid grid;
    channels::ParamDefs defs{def("Count", channels::ParamTypeInt, "1"), def("On", channels::ParamTypeBool, "0"),
                             def("Ratio", channels::ParamTypeDouble, "0.5"),
                             def("Password", channels::ParamTypeString, "")};
    buildParamsGrid(&grid, defs, {});
    grid.show();
    auto* count = grid.findChild<QSpinBox*>("paramEditor-Count");
    auto* on = grid.findChild<QCheckBox*>("paramEditor-On");
    auto* ratio = grid.findChild<QLineEdit*>("paramEditor-Ratio");
    auto* password = grid.findChild<QLineEdit*>("paramEditor-Password");
    QVERIFY(count && on && ratio && password);
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    count->setValue(250);
    QTest::mouseClick(on, Qt::LeftButton, {}, QPoint(4, on->height() / 2));
    ratio->clear();
    QTest::keyClicks(ratio, "0.123456789");
    QTest::keyClicks(password, "s3cret");
    channels::ParamValues out;
    readParamsGrid(&grid, out);
    QCOMPARE(out.at("Count"), std::string("250"));
    QCOMPARE(out.at("On"), std::string("1"));
    QCOMPARE(out.at("Ratio"), std::string("0.123456789"));
    QCOMPARE(out.at("Password"), std::string("s3cret"));
}

void ParamsGridTest::descriptionFollowsTheCurrentRow() {
    ParamsGrid grid;
    buildParamsGrid(&grid, {def("A", channels::ParamTypeString, ""), def("B", channels::ParamTypeInt, "")}, {});
    grid.setCurrentRow(1);
    QCOMPARE(grid.descriptionText(), QString("About B"));
    grid.setCurrentRow(0);
    QCOMPARE(grid.descriptionText(), QString("About A"));
}

QTEST_MAIN(ParamsGridTest)
#include "params_grid_qtest.moc"
