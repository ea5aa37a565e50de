#pragma once

#include "frame_assembler.h"
#include "unit_state.h"

#include <QMainWindow>

class PanelButton;
class QAction;
class QActionGroup;
class QCheckBox;
class QFrame;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
class QTableView;
class QTimer;
class QToolButton;

// The main window: the meter replica, the record toolbar, the reading grid and the trend chart,
// in a client area of 619 x 526 pixels that scrolls to the controls placed beyond it.
class TFrmTest : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 619;
    static constexpr int kClientHeight = 526;

    explicit TFrmTest(QWidget* parent = nullptr);
    ~TFrmTest() override;

    UnitState& state() { return s_; }
    const QString& DecimalSep() const { return decimalSep_; }

    // Handlers under their own names; tests call them directly.
    void FormCreate();
    void Panel3Click();
    void Read380(quint8 reportId, const quint8* data, quint16 size);
    void ConTimerTimer();
    void SampInterTimeTimer();

    FrameAssembler& assembler() { return assembler_; }

    // Components, by their names.
    PanelButton* Panel2 = nullptr;
    PanelButton* Panel3 = nullptr;
    QFrame* Panel4 = nullptr;
    QFrame* Panel7 = nullptr;
    QCheckBox* RepeatSet = nullptr;
    QCheckBox* RecordSI = nullptr;
    QLineEdit* RecordSITime = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* MajPrint = nullptr;
    QTableView* DBGrid1 = nullptr;
    QWidget* Chtshow = nullptr;
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

private:
    void buildClient();
    void buildRecordToolbar();
    void buildMenu();
    void fitClientToChildren();

    UnitState s_;
    QString decimalSep_;
    FrameAssembler assembler_;
};
