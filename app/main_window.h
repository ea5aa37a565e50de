#pragma once

#include "core/unit_state.h"
#include "decode/frame_assembler.h"
#include "decode/reading_interpreter.h"
#include "link/cable_connection.h"
#include "record/journal.h"
#include "record/reading_chain.h"
#include "record/reading_table.h"
#include "record/ui/reading_grid.h"
#include "record/ui/record_controls.h"
#include "replica/replica_state.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class HidPlatform;
class PanelButton;
class QAction;
class QActionGroup;
class QCheckBox;
class QFrame;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;
class ReplicaPanel;
class TrendChart;
class DataReportForm;
class HelpViewer;
class ReadingTable;
class ResultsActions;

// The main window: the meter replica, the record toolbar, the reading grid and the trend chart,
// in a client area of 619 x 526 pixels that scrolls to the controls placed beyond it.
class TFrmTest : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 619;
    static constexpr int kClientHeight = 526;

    // The window on the system's HID layer, or on `platform` (the simulated one) when given.
    explicit TFrmTest(QWidget* parent = nullptr, std::shared_ptr<HidPlatform> platform = {});
    ~TFrmTest() override;

    UnitState& state() { return s_; }
    const QString& DecimalSep() const { return decimalSep_; }

    // Handlers under their own names; tests call them directly.
    void FormCreate();
    void Panel3Click();
    void Read380(quint8 reportId, const quint8* data, quint16 size);
    void ShowData740(const QString& frameHex);
    void DispInit(bool show);
    void ConTimerTimer();
    void Panel2Click();
    void SetFeatureClick();
    void SampInterTimeTimer();
    void INDataToTable(int kind);
    void ClearRClick();
    void Save_asClick();
    void OpenClick();
    void MajPrintClick();
    void HELP1Click();

    // The road from the cable's reports to the table's rows.
    ReadingChain& chain() { return *chain_; }
    FrameAssembler& assembler() { return chain_->assembler(); }
    ReplicaState& replica() { return replica_; }
    ReadingInterpreter& interpreter() { return chain_->interpreter(); }
    // The cable connection: device list, history, connection flag, CurDevice.
    CableConnection& cable() { return cable_; }
    // Sees every report before the frame reassembly does (for recording a capture).
    void setReportTap(CableConnection::ReportFn tap) { chain_->setReportTap(std::move(tap)); }
    // The record toolbar, the limit menu and the grid, with the recording rules behind them.
    RecordControls& recordControls() { return *recordControls_; }

    // From now on every recorded row is also kept in a journal in `folder` until the window
    // closes; a journal that cannot be kept is said once in the history and on stderr.
    void keepJournal(const QString& folder);
    RecordJournal* journal() { return journal_.get(); }
    // Offers the rows of journals that programs which did not end normally left in the
    // journal's folder: one question; Yes adds them to the table as Open Data would.
    void offerRecovery();
    // Asks the recovery question; true for Yes. Empty: a message box.
    void setRecoveryPrompt(std::function<bool(const QString& question)> ask) {
        askRecovery_ = std::move(ask);
    }

    // After each decoded frame the source of reports is held for the interpreter's pause: the
    // reader thread waits, the window does not. The link installs what holds its reader.
    void setReaderHold(std::function<void(int ms)> hold) { readerHold_ = std::move(hold); }

    // Components, by their names.
    TJvHidDeviceController* HidCtl = nullptr;
    PanelButton* Panel2 = nullptr;
    PanelButton* Panel3 = nullptr;
    ReplicaPanel* Panel4 = nullptr;
    QFrame* Panel7 = nullptr;
    QCheckBox* RepeatSet = nullptr;
    QCheckBox* RecordSI = nullptr;
    QLineEdit* RecordSITime = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* MajPrint = nullptr;
    ReadingGrid* DBGrid1 = nullptr;
    ReadingTable* cds1 = nullptr;
    TrendChart* Chtshow = nullptr;
    DataReportForm* QuickRep1 = nullptr;
    // The help viewer, made on first use, and the help file that Help last opened.
    HelpViewer* helpViewer = nullptr;
    QString helpFile;
    QPushButton* SetFeature = nullptr;
    QMenu* RecSet = nullptr;
    QAction* set1k = nullptr;
    QAction* set5k = nullptr;
    QAction* set10k = nullptr;
    QAction* set50k = nullptr;
    QAction* set100k = nullptr;
    QAction* setlimit = nullptr;
    QAction* HELP1 = nullptr;
    QTimer* ConTimer = nullptr;
    QTimer* SampInterTime = nullptr;
    QScrollArea* clientArea = nullptr;
    QWidget* client = nullptr;
    // The Results menu: saving test results, the Test Results window.
    ResultsActions* results = nullptr;

private:
    void buildClient();
    void buildRecordToolbar();
    void buildMenu();
    void buildResultsMenu();
    void fitClientToChildren();

    void say(const QString& line);

    UnitState s_;
    QString decimalSep_;
    ReplicaState replica_;
    std::function<void(int ms)> readerHold_;
    CableConnection cable_;
    std::unique_ptr<ReadingChain> chain_;
    RecordControls* recordControls_ = nullptr;
    std::unique_ptr<RecordJournal> journal_;
    std::function<bool(const QString&)> askRecovery_;
};
