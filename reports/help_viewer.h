#pragma once

#include <QMainWindow>

class QAction;
class QSplitter;
class QLabel;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

// The program's help viewer: shows an HTML help file with its contents (the file's headings) in
// a side list, with back, forward, contents and search. A file that cannot be read is reported in
// the viewer itself.
class HelpViewer : public QMainWindow {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Opens `file` at its table of contents; true when the file could be read.
    bool showContents(const QString& file);
    const QString& file() const { return file_; }
    bool fileLoaded() const { return loaded_; }
    QTextBrowser* browser() const { return browser_; }
    QTreeWidget* contents() const { return contents_; }
    // Looks for the text from the place shown onwards, wrapping at the end.
    bool find(const QString& text);

private:
    void buildContents();
    // Gives the contents the width that shows every title whole.
    void fitContents();
    void showMissing(const QString& why);

    QString file_;
    bool loaded_ = false;
    QSplitter* split_ = nullptr;
    QTextBrowser* browser_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QAction* backAction_ = nullptr;
    QAction* forwardAction_ = nullptr;
};
