// The trend chart's page as a picture file.
#include "chart/trend_chart.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>

namespace {

// Why `folder` could not be made: the nearest part of its path that exists is a file, or a
// folder where no new one may be made.
QString folderFailure(const QString& folder) {
    QFileInfo up(QDir::cleanPath(folder));
    while (!up.exists() && !up.isRoot() && up.absolutePath() != up.absoluteFilePath())
        up = QFileInfo(up.absolutePath());
    const QString shown = QDir::toNativeSeparators(up.absoluteFilePath());
    if (up.exists() && !up.isDir())
        return QStringLiteral("%1 is a file, not a folder.").arg(shown);
    if (up.exists() && !up.isWritable())
        return QStringLiteral("No permission to create a folder in %1.").arg(shown);
    return QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
}

} // namespace

QString TrendChart::defaultPictureFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\TestGraph\\");
#else
    return QDir::homePath() + QStringLiteral("/TestGraph/");
#endif
}

QImage TrendChart::renderPicture() {
    QImage image(size(), QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The chart only: the tool strip is not part of the picture.
    QGraphicsView::render(&p, QRectF(viewport()->geometry()), viewport()->rect());
    return image;
}

void TrendChart::BtSaveClick() {
    // One stamp for both the file and the message.
    const QString stamp = now_().toString(QStringLiteral("yyMMddHHmm"));
    const QString path = folder_ + stamp + QStringLiteral("page") + Bt10->text() + u".bmp";
    const QString shown = QDir::toNativeSeparators(path);
    const QImage picture = renderPicture();
    QSaveFile file(path);
    QString reason;
    // A fresh installation has no pictures folder yet.
    if (!QDir().mkpath(folder_)) {
        reason = folderFailure(folder_);
    } else if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else {
        QImageWriter writer(&file, "bmp");
        if (!writer.write(picture))
            reason = writer.errorString();
        else if (!file.commit())
            reason = file.errorString();
    }
    if (!reason.isEmpty()) {
        tell(true, QStringLiteral("Cannot create file \"%1\". %2").arg(shown, reason));
        return;
    }
    tell(false, QStringLiteral("graphic has saved on ") + shown);
}
