#pragma once

#include "decode/frame_assembler.h"
#include "decode/reading_interpreter.h"
#include "link/cable_connection.h"
#include "record/journal.h"
#include "record/reading_chain.h"
#include "record/reading_table.h"
#include "record/ui/reading_grid.h"
#include "record/ui/record_controls.h"
#include "replica/replica_state.h"
#include "session/meter_session.h"

#include <QMainWindow>
#include <QSettings>

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
class TestModel;
class WindowSettings;
class ResultsActions;
class SettingsDialog;
class QDialog;
class WindowStatus;
struct KeptPlaces;

// The main window: the meter replica, the record toolbar, the reading grid and the trend chart,
// in a client area that scrolls to the controls placed beyond it, and a status bar that says
// the state of the link and of the table. It opens with a client area of 619 x 526 pixels and
// may grow to any screen; the grid and the chart take the added room (client_layout.h).
class TFrmTest : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 619;
    static constexpr int kClientHeight = 526;

    // The window on the system's HID layer, or on `platform` (the simulated one) when given.
    explicit TFrmTest(QWidget* parent = nullptr, std::shared_ptr<HidPlatform> platform = {});
    ~TFrmTest() override;

    const QString& DecimalSep() const { return decimalSep_; }

    // The window's own handlers, under their names: its start-up and the controls it wires
    // itself. The rest of the work has its handlers where it is done: the reports in the
    // session's chain (Read380, ShowData740, INDataToTable), the replica in its state (DispInit),
    // the timers in the session (ConTimerTimer, SampInterTimeTimer), the record toolbar in the
    // record controls (Save_asClick, ClearRClick, OpenClick).
    void FormCreate();
    void Panel3Click();
    void Panel2Click();
    void SetFeatureClick();
    void MajPrintClick();
    void HELP1Click();
    // The Help menu's command-line modes and About, and Settings.
    void commandLineClick();
    void aboutClick();
    void settingsClick();
    // Where the program keeps readings, settings, the journal and the results, as About says.
    KeptPlaces keptPlaces();
    // The settings the window keeps: those of keepSettings(), else the desktop's place for them.
    QSettings& settingsStore();

    // The road from the cable's reports to the table's rows.
    MeterSession& session() { return *session_; }
    ReadingChain& chain() { return session_->chain(); }
    // The picture of the meter's display that the replica panel shows.
    ReplicaState& replica() { return session_->display(); }
    // The cable connection: device list, history, connection flag, CurDevice.
    CableConnection& cable() { return session_->cable(); }
    // Sees every report before the frame reassembly does (for recording a capture).
    void setReportTap(CableConnection::ReportFn tap) { chain().setReportTap(std::move(tap)); }
    // The record toolbar, the limit menu and the grid, with the recording rules behind them.
    RecordControls& recordControls() { return *recordControls_; }

    // From now on every recorded row is also kept in a journal in `folder` until the window
    // closes; a journal that cannot be kept is said once in the history and on stderr.
    void keepJournal(const QString& folder);
    RecordJournal* journal() { return session_->journal(); }
    // Offers the rows of journals that programs which did not end normally left in the
    // journal's folder: one question; Yes adds them to the table as Open Data would.
    void offerRecovery();
    // Asks the recovery question; true for Yes. Empty: a message box.
    void setRecoveryPrompt(std::function<bool(const QString& question)> ask) {
        askRecovery_ = std::move(ask);
    }

    // From now on the window's settings stay from one run to the next in `settings` (empty: the
    // desktop's place for the program's settings); what they hold is restored at once, so this
    // comes before the window is shown.
    void keepSettings(std::unique_ptr<QSettings> settings = {});
    WindowSettings* settings() { return settings_; }

    // Readings recorded or restored since the last successful save (Open Data of a packet
    // replaces them). Leaving with any asks whether to save them.
    int unsavedReadings() const;
    enum class LeaveAnswer { Save, Discard, Cancel };
    // Asks what to do with `count` unsaved readings. Empty: a message box.
    void setLeavePrompt(std::function<LeaveAnswer(int count)> ask) { askLeave_ = std::move(ask); }
    static QString unsavedQuestion(int count);
    // True when the window may close: nothing unsaved, saved, or discarded.
    bool mayLeave();
    // The desktop ends the session (or a test says so): close without asking, keep the journal.
    void sessionEnding() { sessionEnded_ = true; }

    // After each decoded frame the source of reports is held for the chain's pause: the
    // reader thread waits, the window does not. The link installs what holds its reader.
    void setReaderHold(std::function<void(int ms)> hold) { chain().setPause(std::move(hold)); }

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
    // The insulation tests in cds1, which the chart and the results share.
    TestModel* tests = nullptr;
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
    // The Help menu: Contents (F1), the command-line modes, About.
    QMenu* helpMenu = nullptr;
    QAction* HELP1 = nullptr;
    QAction* commandLine = nullptr;
    QAction* about = nullptr;
    QDialog* commandLineDialog = nullptr;
    QDialog* aboutDialog = nullptr;
    // Record > Settings..., and its dialog while it is open.
    QAction* settingsAction = nullptr;
    SettingsDialog* settingsDialog = nullptr;
    // The status bar: the link, where the last save or result went, the table's readings.
    WindowStatus* status = nullptr;
    QTimer* ConTimer = nullptr;
    QTimer* SampInterTime = nullptr;
    QScrollArea* clientArea = nullptr;
    QWidget* client = nullptr;
    // The Results menu: saving test results, the Test Results window.
    ResultsActions* results = nullptr;

    // The program's folder, ending in a separator; the data report's page count.
    QString ExeDir;
    qint32 DataReportPages = 1;

public Q_SLOTS:
    // A test result was saved as `id` in `where` (the database): the status bar says so.
    void showResultSaved(qint64 id, const QString& where);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    LeaveAnswer askAboutUnsaved(int count);
    void buildClient();
    void buildRecordToolbar();
    void buildMenu();
    void destroyParts();
    void showConnectState();
    void buildStatus();
    void showTableState();
    // Places the grid, the chart and the rest that grows with the window, for its size now.
    void layoutClient();
    // After the chart's enlarge/restore toggle: the enlarged chart fits the visible part whole;
    // restored, it is in its place, and the next click enlarges it again wherever that is.
    void chartToggled();
    void buildResultsMenu();
    void buildHelpMenu();

    void say(const QString& line);

    QString decimalSep_;
    std::unique_ptr<MeterSession> session_;
    RecordControls* recordControls_ = nullptr;
    std::function<bool(const QString&)> askRecovery_;
    WindowSettings* settings_ = nullptr;
    std::function<LeaveAnswer(int)> askLeave_;
    bool sessionEnded_ = false;
    std::unique_ptr<QSettings> ownSettings_; // settingsStore() without keepSettings()
};
