// The main window as it opens, checked against its layout table: every control
// in its parent, apart from its siblings, with a help topic, in the table's Tab
// order; a few values of the layout; the window's help and message boxes.

#include <QAbstractFileIconProvider>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <set>

#include "app/application.h"
#include "app/message_timer.h"
#include "app/qt_ui_services.h"
#include "form_fixture.h"
#include "shell/help_window.h"
#include "shell/qt_texts.h"

namespace {

QString Caption(const QWidget* w)
{
    if (auto* group = qobject_cast<const QGroupBox*>(w))
        return group->title();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    return {};
}

TEST_F(FormTest, EveryControlStandsInItsParentAsTheTableSays)
{
    const std::set<std::string> hidden = {"btnCOM",     "btEEprev", "btEEnext", "btPrevFile",
                                          "btNextFile", "eY",       "eX",       "gbCmnt"};
    for (const app::ControlPlacement& p : app::WindowLayout()) {
        SCOPED_TRACE(p.name);
        auto* w = Find<QWidget>(p.name);
        ASSERT_NE(w, nullptr);
        QWidget* parent = w->parentWidget();
        EXPECT_EQ(parent->objectName(), QLatin1String(p.parent));
        EXPECT_EQ(w->geometry(), QRect(p.left, p.top, p.width, p.height));
        EXPECT_EQ(Caption(w), QString::fromUtf8(p.caption ? p.caption : ""));
        EXPECT_EQ(app::OwnHelpContext(w), p.helpContext);
        EXPECT_EQ(w->isVisibleTo(parent), !hidden.count(p.name));
        // The outer groups run up to two pixels past the window's edges, as drawn.
        const QRect room = parent == form.get() ? form->rect().adjusted(0, -1, 0, 2) : parent->rect();
        EXPECT_TRUE(room.contains(w->geometry()));
        // Every control but the hidden check button has a help topic, its own or its group's.
        EXPECT_EQ(app::HelpContextOf(w) > 0, w != form->btnCOM);
    }
}

TEST_F(FormTest, SiblingsDoNotOverlapUnlessOneStandsInForTheOther)
{
    std::vector<QWidget*> controls{form->eFindLabel};
    for (const app::ControlPlacement& p : app::WindowLayout())
        controls.push_back(Find<QWidget>(p.name));
    for (QAbstractButton* item : form->rgRangeItems->buttons())
        controls.push_back(item);
    // The check button under the port group, the readouts over the axis selectors, the
    // comment browser over the correlation chart, and the arrow before «Считать» (shown
    // after a reading) by one pixel.
    const std::set<std::pair<QWidget*, QWidget*>> intended = {{form->btnCOM, form->GroupBox3},
                                                              {form->cbY, form->eY},
                                                              {form->cbX, form->eX},
                                                              {form->GroupBox7, form->gbCmnt},
                                                              {form->btEEprev, form->btLoad}};
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            QWidget* a = controls[i];
            QWidget* b = controls[j];
            if (a->parentWidget() == b->parentWidget() && a->geometry().intersects(b->geometry())) {
                EXPECT_TRUE(intended.count({a, b}) || intended.count({b, a}))
                    << a->objectName().toStdString() << " / " << b->objectName().toStdString();
            }
        }
}

TEST_F(FormTest, TabGoesThroughTheControlsInTheOrderOfTheTable)
{
    std::vector<std::string> table;
    for (const app::ControlPlacement& p : app::WindowLayout())
        table.push_back(p.name);
    std::vector<std::string> chain;
    for (QWidget* w = form->nextInFocusChain(); w != form.get(); w = w->nextInFocusChain()) {
        if (w == form->rgRangeItems->button(0))
            chain.push_back("АВТО");  // the range items come right after their group
        if (std::find(table.begin(), table.end(), w->objectName().toStdString()) != table.end())
            chain.push_back(w->objectName().toStdString());
    }
    table.insert(std::find(table.begin(), table.end(), "rgRange") + 1, "АВТО");
    EXPECT_EQ(chain, table);
}

TEST_F(FormTest, SpotValuesAndTheStateAfterCreation)
{
    EXPECT_EQ(form->size(), QSize(729, 543));
    EXPECT_EQ(form->btLoad->mapTo(form.get(), QPoint(0, 0)), QPoint(110, 344));
    EXPECT_EQ(form->Chart1->geometry(), QRect(192, 0, 537, 305));
    EXPECT_EQ(form->eFindLabel->text(), QStringLiteral("Искать:"));
    EXPECT_EQ(form->eFindLabel->geometry().right() + 1 + 3, form->eFind->x());
    EXPECT_EQ(form->rgRange->toolTip(), QStringLiteral("ДИАПАЗОН измерения СОВИКАНА"));
    // Nine range items stacked 13 pixels apart; АВТО is chosen.
    ASSERT_EQ(form->rgRangeItems->buttons().size(), 9);
    EXPECT_EQ(form->rgRangeItems->button(8)->text(), QStringLiteral("e3   (8)"));
    EXPECT_EQ(form->rgRangeItems->button(8)->geometry(), QRect(8, 15 + 8 * 13, 71, 13));
    EXPECT_EQ(form->SelectedRangeItem(), 0);
    EXPECT_EQ(form->cbY->itemText(1), QStringLiteral("Ось Y: единицы АЦП"));
    EXPECT_EQ(form->cbX->itemText(1), QStringLiteral("Ось Х: ВЫБОРКИ"));
    EXPECT_TRUE(form->chPeriod->isChecked());
    EXPECT_FALSE(form->eX->isEnabled());
    EXPECT_TRUE(form->mResult->isReadOnly());
    // Limits the handlers rely on: ports 1..99, records stepping one past either end.
    EXPECT_EQ(std::make_pair(form->sePort->minimum(), form->sePort->maximum()), std::make_pair(1, 99));
    EXPECT_EQ(std::make_pair(form->seRecord->minimum(), form->seRecord->maximum()), std::make_pair(-1, 40));
    EXPECT_EQ(form->seTime->maximum(), 255);
    EXPECT_FALSE(form->Reprocess);
    EXPECT_TRUE(form->CurrentFileName.isEmpty());
    EXPECT_EQ(form->TimRS->Interval(), 300);
    for (app::MessageTimer* timer : {form->TimRS, form->TimPause, form->Timer3})
        EXPECT_FALSE(timer->Running());
}

TEST_F(FormTest, HelpOpensTheContentsOrTheTopicOfTheControl)
{
    form->btHelp->click();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    for (QWidget* w : std::initializer_list<QWidget*>{form->seSmooth, form->cbX, form->btClipBoard,
                                                      form->rgRangeItems->button(3)})  // an item asks its group
        QApplication::sendEvent(w, &f1);
    // The title bar's «?», then a click on a control.
    QHelpEvent query(QEvent::QueryWhatsThis, QPoint(1, 1), QPoint(1, 1));
    EXPECT_TRUE(QApplication::sendEvent(form->btLoad, &query));
    QHelpEvent click(QEvent::WhatsThis, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(form->btLoad, &click);
    QApplication::sendEvent(form->btHelp, &click);
    EXPECT_EQ(ui.helpRequests, (std::vector<int>{0, 5, 6, 4, 3, 4, 1}));
}

// Closing the window, with the port closed, shows nothing and ends the program
// with the help open.
TEST_F(FormTest, ClosingTheWindowEndsTheProgramWithTheHelpOpen)
{
    shell::HelpWindow help;
    help.show();
    form->show();
    bool ended = true;
    QTimer::singleShot(0, form.get(), [&] { form->close(); });
    // The guard dies with the test, so it cannot fire into a later one.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        ended = false;
        QCoreApplication::quit();
    });
    guard.start(2000);
    QApplication::exec();
    EXPECT_TRUE(ended);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(FormTest, TitlesAreTheCaptionsAsTheyStand)
{
    // Qt appends a display name of its own to every title the desktop shows.
    app::ConfigureApplication();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("СОВИКАН ТР07.        люксметр-пульсметр"));
}

// The texts of the buttons and labels of the next modal dialog, read once it
// is shown (which may take a while under Wine), and a box's details; F1 is
// pressed in it, then it is closed.
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
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            *texts << box->detailedText();
            QTest::keyClick(box, Qt::Key_F1);
        }
        dialog->reject();
        timer->deleteLater();
    });
    timer->start(10);
}

// A box shows its details and opens its help topic on F1; Qt's own words in
// the boxes and dialogs are Russian, as the program's are.
TEST(MessageBoxes, DetailsHelpAndQtsOwnTextsInRussian)
{
    TestApplication();
    ASSERT_TRUE(shell::UseRussianQtTexts());
    EXPECT_EQ(QAbstractFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("Папка"));
    struct Ui : app::QtUiServices {
        std::vector<int> help;
        void ShowHelp(int context) override { help.push_back(context); }
    } ui;
    QStringList box;
    ReadAndCloseNextDialog(box);
    ui.ShowMessageWithDetails(nullptr, app::MessageIcon::Warning, QStringLiteral("Предупреждение"),
                              QStringLiteral("Связь потеряна"), QStringLiteral("Read error (5)"), 3);
    EXPECT_TRUE(box.contains(QStringLiteral("Показать подробности..."))) << box.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(box.contains(QStringLiteral("Read error (5)")));
    EXPECT_EQ(ui.help, std::vector<int>{3});
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

}  // namespace
