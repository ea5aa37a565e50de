#include "reports/help_viewer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>

HelpViewer::HelpViewer(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Z4072 Help"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* split = split_ = new QSplitter(this);
    contents_ = new QTreeWidget(split);
    contents_->setHeaderLabel(QStringLiteral("Contents"));
    contents_->setRootIsDecorated(true);
    browser_ = new QTextBrowser(split);
    browser_->setOpenExternalLinks(true);
    split->addWidget(contents_);
    split->addWidget(browser_);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 640});
    setCentralWidget(split);

    QToolBar* bar = addToolBar(QStringLiteral("Help"));
    bar->setMovable(false);
    QStyle* st = style();
    backAction_ = bar->addAction(st->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Back"),
                                 browser_, &QTextBrowser::backward);
    backAction_->setShortcut(QKeySequence::Back);
    forwardAction_ = bar->addAction(st->standardIcon(QStyle::SP_ArrowForward),
                                    QStringLiteral("Forward"), browser_, &QTextBrowser::forward);
    forwardAction_->setShortcut(QKeySequence::Forward);
    bar->addAction(st->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Contents"), this,
                   [this] { showContents(file_); });
    bar->addSeparator();
    auto* search = new QLineEdit(bar);
    search->setPlaceholderText(QStringLiteral("Find"));
    search->setClearButtonEnabled(true);
    search->setMaximumWidth(200);
    bar->addWidget(search);
    connect(search, &QLineEdit::returnPressed, this, [this, search] { find(search->text()); });
    auto* findKey = new QAction(this);
    findKey->setShortcut(QKeySequence::Find);
    connect(findKey, &QAction::triggered, search, [search] { search->setFocus(); });
    addAction(findKey);
    auto* closeKey = new QAction(this);
    closeKey->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(closeKey, &QAction::triggered, this, &QWidget::close);
    addAction(closeKey);

    backAction_->setEnabled(false);
    forwardAction_->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, backAction_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forwardAction_, &QAction::setEnabled);
    connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        browser_->scrollToAnchor(item->data(0, Qt::UserRole).toString());
    });
    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        browser_->scrollToAnchor(item->data(0, Qt::UserRole).toString());
    });
    resize(900, 640);
}

bool HelpViewer::showContents(const QString& file) {
    file_ = file;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        showMissing(f.errorString());
        return false;
    }
    f.close();
    loaded_ = true;
    browser_->clearHistory();
    browser_->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    buildContents();
    fitContents();
    browser_->scrollToAnchor(QStringLiteral("contents"));
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Z4072 Help") : title);
    return true;
}

void HelpViewer::showMissing(const QString& why) {
    loaded_ = false;
    contents_->clear();
    browser_->clearHistory();
    browser_->setHtml(
        QStringLiteral("<h2>The help file cannot be opened</h2>"
                       "<p><b>%1</b></p><p>%2</p>"
                       "<p>The help file is installed beside the program file; "
                       "installing the program again puts it back.</p>")
            .arg(QDir::toNativeSeparators(file_).toHtmlEscaped(), why.toHtmlEscaped()));
    setWindowTitle(QStringLiteral("Z4072 Help"));
}

namespace {

// The id of a heading: the anchor that its text carries.
QString headingId(const QTextBlock& block) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QStringList names = it.fragment().charFormat().anchorNames();
        if (!names.isEmpty())
            return names.constFirst();
    }
    return {};
}

} // namespace

void HelpViewer::buildContents() {
    // The headings with an id, h2 at the top level and h3 below them, from the page as the
    // browser read it.
    contents_->clear();
    QTreeWidgetItem* section = nullptr;
    for (QTextBlock b = browser_->document()->begin(); b.isValid(); b = b.next()) {
        const int level = b.blockFormat().headingLevel();
        const QString id = level == 2 || level == 3 ? headingId(b) : QString();
        if (id.isEmpty())
            continue;
        const QString title = b.text().simplified();
        QTreeWidgetItem* item = nullptr;
        if (level == 2 || !section) {
            item = new QTreeWidgetItem(contents_, {title});
            section = item;
        } else {
            item = new QTreeWidgetItem(section, {title});
        }
        item->setData(0, Qt::UserRole, id);
    }
}

void HelpViewer::fitContents() {
    // Every title on view, each whole: the list never narrower than its widest title needs.
    contents_->expandAll();
    const int scrollBar = contents_->verticalScrollBar()->sizeHint().width();
    const QAbstractItemView& list = *contents_; // where the measure is public
    const int wanted = list.sizeHintForColumn(0) + 2 * contents_->frameWidth() + scrollBar;
    contents_->setMinimumWidth(wanted);
    const int total = std::max(split_->width(), width());
    split_->setSizes({wanted, std::max(total - wanted, 1)});
}

bool HelpViewer::find(const QString& text) {
    if (text.isEmpty())
        return false;
    if (browser_->find(text))
        return true;
    QTextCursor start = browser_->textCursor();
    start.movePosition(QTextCursor::Start);
    browser_->setTextCursor(start);
    return browser_->find(text);
}
