#pragma once
// The protocol window: a folder of measurements, the protocol's header, the
// table of points, the default Kп limit, and saving (PDF, CSV) and printing.
// The header fields, the folder and the limit are remembered between runs.

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "protocol/core/protocol.h"
#include "protocol/qt/printing.h"

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QTableWidget;
class QTableWidgetItem;

namespace app {
class HelpWindow;
}

namespace protocol {

class PointChartsPanel;

class ProtocolWindow : public QWidget {
public:
    // `settings` keeps the header between runs; `printing` prints.
    ProtocolWindow(std::unique_ptr<QSettings> settings, std::unique_ptr<ProtocolPrinting> printing,
                   QWidget* parent = nullptr);
    ~ProtocolWindow() override;

    // Reads the folder's files into the table. False (and the message) when
    // it holds no measurement file.
    bool OpenFolder(const QString& folder);
    void SetDefaultLimit(double limit);
    // Save to the path given; false (and the message) when it fails.
    bool SaveCsv(const QString& path);
    bool SavePdf(const QString& path);
    void PrintProtocol();
    // The program's help page (F1).
    void ShowHelp();
    app::HelpWindow* Help() const { return help_.get(); }

    PaperProtocol Paper() const;
    const std::vector<ProtocolRow>& Rows() const { return rows_; }
    QTableWidget* Table() const { return table_; }
    PointChartsPanel* Charts() const { return charts_; }
    QLineEdit* HeaderField(int index) const { return fields_.at(static_cast<std::size_t>(index)); }
    static constexpr int kHeaderFieldCount = 9;

    // Shows a message; a message box unless replaced (tests).
    std::function<void(const QString&)> showMessage;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ChooseFolder();
    void ChooseCsv();
    void ChoosePdf();
    void Refill();
    // Writes an edited place or limit into the point's file and reads the row again.
    void CommitCell(QTableWidgetItem* item);
    std::string NativeFolder(const QString& folder) const;
    void Remember();
    QString SuggestedPath(const QString& extension) const;

    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<ProtocolPrinting> printing_;
    analysis::NumberFormat nf_;
    QString folder_;
    std::vector<ProtocolRow> rows_;
    QLineEdit* folderEdit_ = nullptr;
    std::vector<QLineEdit*> fields_;
    QDoubleSpinBox* limit_ = nullptr;
    QTableWidget* table_ = nullptr;
    PointChartsPanel* charts_ = nullptr;
    QLabel* summary_ = nullptr;
    std::vector<QPushButton*> needRows_;
    std::unique_ptr<app::HelpWindow> help_;
};

}  // namespace protocol
