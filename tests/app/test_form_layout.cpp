// The main window as it opens: every control where the layout puts it, with
// its texts, ranges, defaults, visibility and help context.

#include <QAbstractFileIconProvider>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "app/application.h"
#include "app/controls.h"
#include "shell/help_window.h"
#include "app/qt_ui_services.h"
#include "shell/qt_texts.h"
#include "app/message_timer.h"
#include "form_fixture.h"

namespace {

struct Placement {
    const char* name;
    const char* parent;
    int left, top, width, height;
    bool visible;
    int helpContext;
};

const Placement kLayout[] = {
    {"btnCOM", "Form1", 8, 8, 89, 25, false, 0},           {"GroupBox3", "Form1", 0, -1, 185, 42, true, 2},
    {"sePort", "GroupBox3", 16, 15, 57, 22, true, 2},      {"btnPort", "GroupBox3", 96, 12, 81, 25, true, 2},
    {"GroupBox5", "Form1", 0, 48, 185, 161, true, 3},      {"rgRange", "GroupBox5", 8, 16, 81, 137, true, 3},
    {"GroupBox2", "GroupBox5", 96, 16, 81, 49, true, 3},   {"sePause", "GroupBox2", 8, 15, 65, 22, true, 3},
    {"GroupBox1", "GroupBox5", 96, 72, 81, 49, true, 3},   {"seTime", "GroupBox1", 8, 15, 65, 22, true, 3},
    {"btnStart", "GroupBox5", 96, 128, 81, 25, true, 2},   {"GroupBox9", "Form1", 0, 216, 185, 97, true, 2},
    {"mResult", "GroupBox9", 8, 16, 169, 73, true, 2},     {"gbEEread", "Form1", 0, 316, 185, 65, true, 4},
    {"GroupBox6", "gbEEread", 8, 16, 81, 41, true, 4},     {"seRecord", "GroupBox6", 8, 15, 57, 22, true, 4},
    {"btEEprev", "gbEEread", 94, 28, 17, 25, false, 4},    {"btLoad", "gbEEread", 110, 28, 52, 25, true, 4},
    {"btEEnext", "gbEEread", 162, 28, 17, 25, false, 4},   {"gbFile", "Form1", 0, 384, 185, 81, true, 4},
    {"btFSave", "gbFile", 6, 16, 83, 25, true, 4},         {"btPrevFile", "gbFile", 94, 16, 17, 25, false, 4},
    {"btFLoad", "gbFile", 112, 16, 50, 25, true, 4},       {"btNextFile", "gbFile", 162, 16, 17, 25, false, 4},
    {"btComments", "gbFile", 8, 48, 169, 25, true, 4},     {"GroupBox10", "Form1", 0, 468, 185, 77, true, 4},
    {"mComment", "GroupBox10", 8, 16, 169, 52, true, 4},   {"Chart1", "Form1", 192, 0, 537, 305, true, 6},
    {"cbY", "Chart1", 8, 280, 129, 21, true, 6},           {"cbX", "Chart1", 408, 280, 121, 21, true, 6},
    {"eY", "Chart1", 48, 280, 89, 21, false, 6},           {"eX", "Chart1", 448, 280, 81, 21, false, 6},
    {"btClipBoard", "Chart1", 312, 0, 129, 17, true, 4},   {"btHelp", "Chart1", 448, 0, 83, 17, true, 1},
    {"GroupBox7", "Form1", 192, 312, 537, 233, true, 5},   {"ChartCorr", "GroupBox7", 8, 16, 521, 185, true, 5},
    {"Label1", "GroupBox7", 9, 206, 248, 13, true, 5},     {"seSmooth", "GroupBox7", 264, 203, 49, 22, true, 5},
    {"chPeriod", "GroupBox7", 328, 206, 113, 17, true, 5}, {"gbCmnt", "Form1", 192, 308, 537, 236, false, 4},
    {"mAllCmnt", "gbCmnt", 8, 8, 521, 193, true, 4},       {"eFind", "gbCmnt", 48, 210, 129, 21, true, 4},
    {"btFind", "gbCmnt", 184, 208, 81, 25, true, 4},       {"btOpenFind", "gbCmnt", 272, 208, 81, 25, true, 4},
    {"btPath", "gbCmnt", 360, 208, 81, 25, true, 4},       {"btCancel", "gbCmnt", 448, 208, 81, 25, true, 4},
};

TEST_F(FormTest, EveryControlStandsWhereTheLayoutPutsIt)
{
    EXPECT_EQ(form->size(), QSize(729, 543));
    for (const Placement& p : kLayout) {
        SCOPED_TRACE(p.name);
        auto* w = Find<QWidget>(p.name);
        ASSERT_NE(w, nullptr);
        ASSERT_NE(w->parentWidget(), nullptr);
        EXPECT_EQ(w->parentWidget()->objectName().toStdString(), p.parent);
        EXPECT_EQ(w->geometry(), QRect(p.left, p.top, p.width, p.height));
        EXPECT_EQ(w->isVisibleTo(w->parentWidget()), p.visible);
        EXPECT_EQ(app::HelpContextOf(w), p.helpContext);
    }
}

TEST_F(FormTest, CaptionsHintsAndItems)
{
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("СОВИКАН ТР07.        ")));
    EXPECT_EQ(Find<QGroupBox>("GroupBox3")->title(), QStringLiteral("COM-порт"));
    EXPECT_EQ(Find<QPushButton>("btnPort")->text(), QStringLiteral("Установить"));
    EXPECT_EQ(Find<QPushButton>("btnStart")->text(), QStringLiteral("Измерение"));
    EXPECT_EQ(Find<QPushButton>("btnCOM")->text(), QStringLiteral("Проверка"));
    EXPECT_EQ(Find<QGroupBox>("gbFile")->title(), QStringLiteral("ФАЙЛ"));
    EXPECT_EQ(Find<QGroupBox>("gbCmnt")->title(), QString());
    EXPECT_EQ(form->btComments->toolTip(),
              QStringLiteral("Все комментарии файлов открытого пути выводятся в одно окно"));
    EXPECT_EQ(form->rgRange->toolTip(), QStringLiteral("ДИАПАЗОН измерения СОВИКАНА"));
    EXPECT_EQ(form->eFindLabel->text(), QStringLiteral("Искать:"));
    EXPECT_EQ(form->eFindLabel->geometry().right() + 1 + 3, form->eFind->x());

    const QStringList ranges = {QStringLiteral("АВТО"),     QStringLiteral("e-4  (1)"), QStringLiteral("e-3  (2)"),
                                QStringLiteral("e-2  (3)"), QStringLiteral("e-1  (4)"), QStringLiteral("e0   (5)"),
                                QStringLiteral("e1   (6)"), QStringLiteral("e2   (7)"), QStringLiteral("e3   (8)")};
    ASSERT_EQ(form->rgRangeItems->buttons().size(), ranges.size());
    for (int i = 0; i < ranges.size(); ++i)
        EXPECT_EQ(form->rgRangeItems->button(i)->text(), ranges[i]);
    EXPECT_EQ(form->SelectedRangeItem(), 0);

    EXPECT_EQ(form->cbY->count(), 2);
    EXPECT_EQ(form->cbY->itemText(1), QStringLiteral("Ось Y: единицы АЦП"));
    EXPECT_EQ(form->cbX->itemText(0), QStringLiteral("Ось Х: ВРЕМЯ, мс"));
    EXPECT_EQ(form->cbX->currentIndex(), 0);
    EXPECT_TRUE(form->chPeriod->isChecked());
    EXPECT_FALSE(form->eX->isEnabled());
    EXPECT_TRUE(form->mResult->isReadOnly());
}

TEST_F(FormTest, SpinEditRangesAndDefaults)
{
    struct Spin {
        app::SpinEdit* edit;
        int min, max, value;
    };
    const Spin spins[] = {
        {form->sePort, 1, 99, 1},    {form->sePause, 0, 10, 0},   {form->seTime, 1, 255, 1},
        {form->seRecord, -1, 40, 0}, {form->seSmooth, 0, 100, 0},
    };
    for (const Spin& s : spins) {
        SCOPED_TRACE(s.edit->objectName().toStdString());
        EXPECT_EQ(s.edit->minimum(), s.min);
        EXPECT_EQ(s.edit->maximum(), s.max);
        EXPECT_EQ(s.edit->value(), s.value);
    }
}

TEST_F(FormTest, StateAfterCreation)
{
    EXPECT_FALSE(form->Reprocess);
    EXPECT_EQ(form->SmoothWidth, 0);
    EXPECT_TRUE(form->CurrentFileName.isEmpty());
    EXPECT_FALSE(form->TimRS->Enabled());
    EXPECT_EQ(form->TimRS->Interval(), 300);
    EXPECT_FALSE(form->TimPause->Enabled());
    EXPECT_TRUE(form->Timer3->Enabled());
    EXPECT_FALSE(form->Timer3->Running());  // no handler, so it never runs
}

TEST_F(FormTest, HelpButtonOpensTheContents)
{
    form->btHelp->click();
    EXPECT_EQ(ui.helpRequests, std::vector<int>{0});
}

TEST_F(FormTest, F1OpensTheTopicOfTheFocusedControl)
{
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(form->seSmooth, &f1);
    QApplication::sendEvent(form->cbX, &f1);
    QApplication::sendEvent(form->btClipBoard, &f1);
    QApplication::sendEvent(form->rgRangeItems->button(3), &f1);  // an item asks its group
    EXPECT_EQ(ui.helpRequests, (std::vector<int>{5, 6, 4, 3}));
}

TEST_F(FormTest, ContextHelpClickOpensTheTopicOfTheClickedControl)
{
    QHelpEvent query(QEvent::QueryWhatsThis, QPoint(1, 1), QPoint(1, 1));
    EXPECT_TRUE(QApplication::sendEvent(form->btLoad, &query));
    QHelpEvent click(QEvent::WhatsThis, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(form->btLoad, &click);
    QApplication::sendEvent(form->btHelp, &click);
    EXPECT_EQ(ui.helpRequests, (std::vector<int>{4, 1}));
}

TEST_F(FormTest, ClosingTheWindowEndsTheProgramWithTheHelpOpen)
{
    shell::HelpWindow help;
    help.show();
    form->show();
    bool ended = true;
    QTimer::singleShot(0, form.get(), [&] { form->close(); });
    QTimer::singleShot(2000, qApp, [&] {
        ended = false;
        QCoreApplication::quit();
    });
    QApplication::exec();
    EXPECT_TRUE(ended);
}

TEST_F(FormTest, TitlesAreTheCaptionsAsTheyStand)
{
    // Qt appends a display name of its own to every title the desktop shows.
    app::ConfigureApplication();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("СОВИКАН ТР07.        люксметр-пульсметр"));
}

TEST(MessageBoxes, F1OpensTheTopicOfTheBoxsHelpContext)
{
    TestApplication();
    struct Ui : app::QtUiServices {
        std::vector<int> help;
        void ShowHelp(int context) override { help.push_back(context); }
    } ui;
    QString shownDetails;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownDetails = box->detailedText();
        QTest::keyClick(box, Qt::Key_F1);
        box->accept();
    });
    ui.ShowMessageWithDetails(nullptr, app::MessageIcon::Information, QString(), QStringLiteral("Выберите"),
                              QStringLiteral("why"), 3);
    EXPECT_EQ(ui.help, std::vector<int>{3});
    EXPECT_EQ(shownDetails, QStringLiteral("why"));
}

// The texts of the buttons and labels of the next modal dialog, read once it
// is shown (which may take a while under Wine); the dialog is then closed.
void ReadAndCloseNextDialog(QStringList& out)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, texts = &out] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        for (auto* b : dialog->findChildren<QAbstractButton*>())
            *texts << b->text();
        for (auto* l : dialog->findChildren<QLabel*>())
            *texts << l->text();
        dialog->reject();
        timer->deleteLater();
    });
    timer->start(10);
}

// Qt's own words in the boxes and dialogs are Russian, as the program's are.
TEST(MessageBoxes, QtsOwnTextsAreRussian)
{
    TestApplication();
    ASSERT_TRUE(shell::UseRussianQtTexts());
    EXPECT_EQ(QAbstractFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("Папка"));
    app::QtUiServices ui;
    QStringList box;
    ReadAndCloseNextDialog(box);
    ui.ShowMessageWithDetails(nullptr, app::MessageIcon::Warning, QStringLiteral("Предупреждение"),
                              QStringLiteral("Связь потеряна"), QStringLiteral("Read error (5)"), 0);
    EXPECT_TRUE(box.contains(QStringLiteral("Показать подробности..."))) << box.join(QLatin1Char('|')).toStdString();
#ifndef _WIN32
    // (Under Wine the file dialog lists the whole host file system as drive Z:.)
    QStringList dialog;
    ReadAndCloseNextDialog(dialog);
    EXPECT_FALSE(
        ui.RunOpenDialog(nullptr, {QStringLiteral("svk"), QStringLiteral("Sovikan files|*.svk"), QString(), 1}));
    EXPECT_TRUE(dialog.contains(QStringLiteral("Отмена"))) << dialog.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(dialog.contains(QStringLiteral("Перейти к:"))) << dialog.join(QLatin1Char('|')).toStdString();
#endif
}

TEST_F(FormTest, ClosingWithThePortClosedShowsNothing)
{
    form->show();
    form->close();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.errors.empty());
}

}  // namespace
