// uireset in-process with the message-box answerer, and its staged program,
// on a key store of the test's own.
#include <QDialog>
#include <QStringList>
#include <QtTest>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "widgets/base/messageBox.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"
#include "utilities/uireset/uiReset.h"

namespace reg = platform::registry;

namespace {

const char kOrvanKey[] = "HKEY_CURRENT_USER\\Software\\Orvan";
const char kSiblingKey[] = "HKEY_CURRENT_USER\\Software\\Orvanic";

// Answers every box with `answer` (the question) or OK, and records what it saw.
struct Boxes {
    QStringList texts;
    QStringList captions;
};

dialogs::ModalAnswerer answerWith(Boxes& boxes, int answerToQuestion) {
    return [&boxes, answerToQuestion](QDialog& dialog) {
        QVERIFY(dialogs::isMessageBox(dialog));
        boxes.texts << dialogs::messageText(dialog);
        boxes.captions << dialog.windowTitle();
        if (dialogs::messageText(dialog) != uireset::kQuestion) {
            dialogs::pressAnswer(dialog, dialogs::IDOK);
        } else if (answerToQuestion == 0) {
            dialog.reject();  // closed without a button
        } else {
            dialogs::pressAnswer(dialog, answerToQuestion);
        }
    };
}

}  // namespace

class UiResetTest : public QObject {
    Q_OBJECT

    testsupport::TempDir* dir_ = nullptr;

    std::string store() const { return dir_->file("registry.ini"); }

    void fillStore() {
        QVERIFY(reg::createKey(std::string(kOrvanKey) + "\\Bars\\Workpad"));
        QVERIFY(reg::setDword(std::string(kOrvanKey) + "\\Bars\\Workpad", "Visible", 1));
        QVERIFY(reg::setBinary(kOrvanKey, "MainFrame", std::string("\x01\x02\x00\x03", 4)));
        QVERIFY(reg::createKey(kSiblingKey));
        QVERIFY(reg::setString(kSiblingKey, "Keep", "me"));
    }

private slots:
    void init() {
        dir_ = new testsupport::TempDir;
        ::setenv("ORVAN_REGISTRY_FILE", store().c_str(), 1);
        fillStore();
    }
    void cleanup() {
        ::unsetenv("ORVAN_REGISTRY_FILE");
        delete dir_;
        dir_ = nullptr;
    }

    void okDeletesOnlyTheProgramsKeyAndASecondRunSucceedsToo() {
        for (int run = 1; run <= 2; ++run) {
            Boxes boxes;
            dialogs::ScopedModalAnswerer answerer(answerWith(boxes, dialogs::IDOK));
            QCOMPARE(uireset::run(), 0);
            QCOMPARE(boxes.texts, QStringList({uireset::kQuestion, uireset::kSuccess}));
            QCOMPARE(boxes.captions, QStringList({uireset::kCaption, uireset::kCaption}));
            QVERIFY(!reg::keyExists(kOrvanKey));
            QVERIFY(!reg::keyExists(std::string(kOrvanKey) + "\\Bars"));
            QCOMPARE(reg::getString(kSiblingKey, "Keep").value_or(""), std::string("me"));
        }
    }

    void cancelOrClosingChangesNothing_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("Cancel") << int(dialogs::IDCANCEL);
        QTest::newRow("closed") << 0;
    }
    void cancelOrClosingChangesNothing() {
        QFETCH(int, answer);
        const std::string before = testsupport::readFile(store());
        Boxes boxes;
        dialogs::ScopedModalAnswerer answerer(answerWith(boxes, answer));
        QCOMPARE(uireset::run(), 0);
        QCOMPARE(boxes.texts, QStringList({uireset::kQuestion}));
        QCOMPARE(testsupport::readFile(store()), before);
    }

    // A key store that cannot be written (a file stands where its folder
    // should be) ends in the system's text for the error, and -1.
    void aFailedDeletionShowsTheSystemsText() {
        testsupport::writeFile(dir_->file("blocker"), "a file, not a folder\n");
        ::setenv("ORVAN_REGISTRY_FILE", dir_->file("blocker/registry.ini").c_str(), 1);
        Boxes boxes;
        dialogs::ScopedModalAnswerer answerer(answerWith(boxes, dialogs::IDOK));
        QCOMPARE(uireset::run(), -1);
        QCOMPARE(boxes.texts, QStringList({uireset::kQuestion, "Not a directory"}));
    }

    // A read-only key store (no write permission for its owner) is reported
    // and left as it was, even for a user whom the system lets write it.
    void aReadOnlyKeyStoreIsReportedAndLeftAlone() {
        const std::string before = testsupport::readFile(store());
        QCOMPARE(::chmod(store().c_str(), 0444), 0);
        Boxes boxes;
        dialogs::ScopedModalAnswerer answerer(answerWith(boxes, dialogs::IDOK));
        QCOMPARE(uireset::run(), -1);
        QCOMPARE(boxes.texts, QStringList({uireset::kQuestion, "Permission denied"}));
        QCOMPARE(testsupport::readFile(store()), before);
        struct stat st {};
        QCOMPARE(::stat(store().c_str(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0444);
        QVERIFY(reg::keyExists(kOrvanKey));
    }

    void errorCodesWithoutTextShowTheCode() {
        QCOMPARE(uireset::errorText(0x1234ABCD), std::string("WIN32 error 1234ABCD"));
        QCOMPARE(uireset::errorText(0x00000ABC), std::string("WIN32 error 00000ABC"));
        QCOMPARE(uireset::errorText(ENOTDIR), std::string("Not a directory"));
    }

    // The program itself takes no arguments and asks first: with nobody to
    // answer (no display) the question counts as declined.
    void theStagedProgramAsksBeforeItChangesAnything() {
        const std::string before = testsupport::readFile(store());
        platform::process::Options options;
        options.argv = {testsupport::stageDir() + "/uireset"};
        options.environment = {{"QT_QPA_PLATFORM", "offscreen"}, {"ORVAN_REGISTRY_FILE", store()}};
        options.stderrFile = dir_->file("uireset.err");
        const auto result = platform::process::run(options, 60000);
        QVERIFY2(result.started, result.error.c_str());
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(testsupport::readFile(store()), before);
    }
};

QTEST_MAIN(UiResetTest)
#include "uireset_qtest.moc"
