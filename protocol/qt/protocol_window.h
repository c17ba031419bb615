#pragma once
// The protocol window: a folder of measurements, the protocol's header, the
// table of points and the table of rooms, the default norms and the
// instrument's error limits, and saving (PDF, CSV) and printing. The header
// fields, the folder, the norms and the error limits are remembered between
// runs. Edited cells (place, room, norms) are written into the points' files,
// one at a time, pasted as a column of lines or filled down with Ctrl+D.

#include <QStringList>
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

namespace shell {
class HelpWindow;
}

namespace protocol {

class ComparisonWindow;
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
    // Compares the protocol of `beforeFolder` ("до"), read with the current
    // norms and limits, with the open one ("после") and shows the comparison.
    // False (and the message) when that folder holds no measurement file.
    // While shown, the comparison follows the open protocol's edits.
    bool CompareWith(const QString& beforeFolder);
    ComparisonWindow* ComparisonView() const { return comparison_; }
    void SetDefaultLimit(double limit);
    // Pastes the lines of `text` into the current editable cell and the cells
    // below it, one line each; Ctrl+V does it with the clipboard's text.
    void PasteLines(const QString& text);
    // Fills the selected cells of one editable column with the first one's
    // text (Ctrl+D).
    void FillDown();
    // Save to the path given; false (and the message) when it fails.
    bool SaveCsv(const QString& path);
    bool SavePdf(const QString& path);
    void PrintProtocol();
    // The program's help page (F1).
    void ShowHelp();
    shell::HelpWindow* Help() const { return help_.get(); }

    PaperProtocol Paper() const;
    const std::vector<ProtocolRow>& Rows() const { return rows_; }
    QTableWidget* Table() const { return table_; }
    PointChartsPanel* Charts() const { return charts_; }
    QLineEdit* HeaderField(int index) const { return fields_.at(static_cast<std::size_t>(index)); }
    static constexpr int kHeaderFieldCount = 9;
    // The default E norm, the error limits of E and Kп.
    enum class JudgingField { IlluminanceNorm, IlluminanceError, PulsationError };
    QLineEdit* Field(JudgingField f) const { return judgingFields_.at(static_cast<std::size_t>(f)); }
    QTableWidget* Rooms() const { return roomsTable_; }
    QLabel* Digest() const { return digest_; }
    QLabel* Summary() const { return summary_; }
    Judging CurrentJudging() const;

    // Shows a message; a message box unless replaced (tests).
    std::function<void(const QString&)> showMessage;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ChooseFolder();
    void ChooseBeforeFolder();
    void ShowComparison();
    // A folder as the window shows it.
    static QString ShownFolder(const QString& folder);
    void ChooseCsv();
    void ChoosePdf();
    void Refill();
    // Writes an edited place, room or norm into the point's file and reads the row again.
    void CommitCell(QTableWidgetItem* item);
    // Writes texts into the cells of one column (row, text), each into its
    // point's file; one message lists what was not written and why (with
    // `unplaced`, texts that found no cell); the rows are read again.
    void WriteCells(Column column, const std::vector<std::pair<int, std::string>>& edits,
                    const QStringList& unplaced = {});
    // Reads a header field of the judging after an edit; a wrong one is put back.
    void JudgingEdited(JudgingField field);
    void ShowDigest(int row);
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
    std::vector<QLineEdit*> judgingFields_;
    std::vector<QString> judgingTexts_;  // as last accepted
    QTableWidget* table_ = nullptr;
    QTableWidget* roomsTable_ = nullptr;
    QLabel* digest_ = nullptr;
    PointChartsPanel* charts_ = nullptr;
    ComparisonWindow* comparison_ = nullptr;  // made at the first comparison
    QString beforeFolder_;                    // of the last comparison
    std::vector<ProtocolRow> beforeRows_;
    QLabel* summary_ = nullptr;
    std::vector<QPushButton*> needRows_;
    std::unique_ptr<shell::HelpWindow> help_;
};

}  // namespace protocol
