#include "app/QtMsgBox.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextBoundaryFinder>
#include <climits>

namespace dsadmin {
namespace {

QMessageBox::Icon IconOf(int style) {
    switch (style & 0xF0) {
        case 16:
            return QMessageBox::Critical;
        case 32:
            return QMessageBox::Question;
        case 48:
            return QMessageBox::Warning;
        case 64:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// Shortens every stretch of the text that cannot be wrapped (a long name, a path without
// blanks) and is wider than `width` by eliding its middle; other text stays as it is.
QString ElideUnbreakable(const QString& text, const QFontMetrics& metrics, int width) {
    QString out;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = breaks.toNextBoundary();
        if (end < 0 || end <= start) end = text.size();
        QString piece = text.mid(start, end - start);
        QString lineEnd;
        while (piece.endsWith(QLatin1Char('\n')) || piece.endsWith(QLatin1Char('\r'))) {
            lineEnd.prepend(piece.back());
            piece.chop(1);
        }
        if (metrics.horizontalAdvance(piece) > width)
            piece = metrics.elidedText(piece, Qt::ElideMiddle, width);
        out += piece + lineEnd;
        start = end;
    }
    return out;
}

int WrappedHeight(const QString& text, const QFontMetrics& metrics, int width) {
    return metrics.boundingRect(QRect(0, 0, width, INT_MAX), Qt::TextWordWrap, text).height();
}

// The text as the box shows it: unbreakable stretches elided to `maxWidth`, and a text that,
// wrapped at `wrapWidth` (no wider than the box wraps it), is taller than `maxHeight` keeps as
// much of its beginning and its end as fits, with "…" between them.
QString FitText(const QString& text, const QFontMetrics& metrics, int maxWidth, int wrapWidth,
                int maxHeight) {
    const QString wrapped = ElideUnbreakable(text, metrics, maxWidth);
    if (WrappedHeight(wrapped, metrics, wrapWidth) <= maxHeight) return wrapped;
    auto keep = [&](qsizetype n) {
        qsizetype head = n, tail = n;
        if (head > 0 && wrapped.at(head - 1).isHighSurrogate()) --head;
        if (tail > 0 && wrapped.at(wrapped.size() - tail).isLowSurrogate()) --tail;
        return wrapped.left(head) + QStringLiteral("\n…\n") + wrapped.right(tail);
    };
    qsizetype low = 0, high = wrapped.size() / 2;
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (WrappedHeight(keep(mid), metrics, wrapWidth) <= maxHeight)
            low = mid;
        else
            high = mid - 1;
    }
    return keep(low);
}

}  // namespace

int QtMsgBox::show(const BoxLook& look, const std::string& text) {
    const std::string title = look.title;
    const int style = look.style;
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(title.empty() ? std::string(kAppTitle) : title));
    box.setTextFormat(Qt::PlainText);
    // A box must stay on the screen whatever the text: QMessageBox wraps only at break
    // opportunities and never limits the height.
    QScreen* screen = parent_ ? parent_->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // Room is left for the icon and the margins beside the text, and the title and the button
    // below it; QMessageBox wraps at no less than min(screen / 2, 420) pixels.
    box.setText(FitText(QString::fromStdString(text), QFontMetrics(box.font()),
                        std::min(area.width() - 220, 800), std::min(area.width() / 2, 420) - 100,
                        area.height() * 2 / 3));
    box.setIcon(IconOf(style));
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    ok->setText(QStringLiteral("确定"));
    QPushButton* cancel = nullptr;
    if ((style & 0x0F) == kOkCancel) {
        cancel = box.addButton(QMessageBox::Cancel);
        cancel->setText(QStringLiteral("取消"));
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    return (cancel && box.clickedButton() == cancel) ? kAnswerCancel : kAnswerOk;
}

}  // namespace dsadmin
