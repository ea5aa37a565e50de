#include "reports/paged_report.h"

#include <QPainter>

void paintReportTexts(QPainter& p, const QList<ReportText>& texts, double dotsPerMm, int flags) {
    p.save();
    for (const ReportText& t : texts) {
        if (t.text.isEmpty())
            continue;
        const QRectF box(t.box.x() * dotsPerMm, t.box.y() * dotsPerMm, t.box.width() * dotsPerMm,
                         t.box.height() * dotsPerMm);
        p.setFont(t.font);
        p.setPen(t.color);
        p.drawText(box, (t.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop | flags,
                   t.text);
    }
    p.restore();
}
