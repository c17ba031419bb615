#include "app/qt_ui_services.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStringList>

#include "shell/help_window.h"

namespace app {

QString ToQtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        out << QStringLiteral("%1 (%2)").arg(parts[i], pattern);
    }
    return out.join(QStringLiteral(";;"));
}

namespace {

void PrepareDialog(QFileDialog& dlg, const FileDialogSettings& s)
{
    dlg.setDefaultSuffix(s.defaultExt);
    const QStringList filters = ToQtFilter(s.filter).split(QStringLiteral(";;"));
    dlg.setNameFilters(filters);
    if (s.filterIndex >= 1 && s.filterIndex <= filters.size())
        dlg.selectNameFilter(filters[s.filterIndex - 1]);
    if (QDir(s.initialDir).exists())
        dlg.setDirectory(QDir(s.initialDir).absolutePath());
}

std::optional<QString> RunDialog(QFileDialog& dlg)
{
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    const QString name = dlg.selectedFiles().constFirst();
    if (name.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(name);
}

// F1 in a message box opens the topic of the box's help context.
class HelpKey : public QObject {
public:
    HelpKey(UiServices& ui, int context) : ui_(ui), context_(context) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            ui_.ShowHelp(context_);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    UiServices& ui_;
    int context_;
};

}  // namespace

QtUiServices::QtUiServices() = default;
QtUiServices::~QtUiServices() = default;

void QtUiServices::ShowMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                               int helpContext)
{
    ShowMessageWithDetails(parent, icon, title, text, QString(), helpContext);
}

void QtUiServices::ShowMessageWithDetails(QWidget* parent, MessageIcon icon, const QString& title, const QString& text,
                                          const QString& details, int helpContext)
{
    QMessageBox::Icon qicon = QMessageBox::Information;
    if (icon == MessageIcon::Warning)
        qicon = QMessageBox::Warning;
    else if (icon == MessageIcon::Error)
        qicon = QMessageBox::Critical;
    QMessageBox box(qicon, title, text, QMessageBox::Ok, parent);
    if (!details.isEmpty())
        box.setDetailedText(details);
    HelpKey help(*this, helpContext);
    if (helpContext != 0) {
        box.installEventFilter(&help);
        for (QWidget* child : box.findChildren<QWidget*>())
            child->installEventFilter(&help);
    }
    box.exec();
}

void QtUiServices::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"), text, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> QtUiServices::RunOpenDialog(QWidget* parent, const FileDialogSettings& s)
{
    QFileDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    PrepareDialog(dlg, s);
    return RunDialog(dlg);
}

std::optional<QString> QtUiServices::RunSaveDialog(QWidget* parent, const FileDialogSettings& s)
{
    QFileDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    // Replacing an existing file needs no confirmation.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    PrepareDialog(dlg, s);
    return RunDialog(dlg);
}

void QtUiServices::SetClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

void QtUiServices::SetClipboardImage(const QImage& image)
{
    QGuiApplication::clipboard()->setImage(image);
}

void QtUiServices::ShowHelp(int context)
{
    if (!help_)
        help_ = std::make_unique<shell::HelpWindow>();
    help_->ShowContext(context);
}

}  // namespace app
