#include "app/ProgressDisplay.h"

#include <QCoreApplication>
#include <QLabel>

namespace dsadmin {
namespace {

constexpr qint64 kPaintEveryMs = 50;

}  // namespace

ProgressDisplay::ProgressDisplay(QLabel& label, std::chrono::milliseconds delay)
    : label_(label), delay_(delay) {
    sinceStart_.start();
}

ProgressDisplay::~ProgressDisplay() {
    label_.hide();
    label_.clear();
}

void ProgressDisplay::report(const RunStep& step) {
    last_ = step;
    const bool due = !sincePaint_.isValid() || sincePaint_.elapsed() >= kPaintEveryMs;
    if (sinceStart_.elapsed() >= delay_.count()) {
        const QString text = QString::fromStdString(ProgressText(step));
        label_.setText(label_.fontMetrics().elidedText(text, Qt::ElideRight, label_.width()));
        label_.show();
    }
    if (!due) return;
    sincePaint_.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressDisplay::waiting() {
    if (!last_) return;
    const RunStep step = *last_;
    report(step);
}

int ProgressDisplay::Boxes::show(const BoxLook& look, const std::string& text) {
    progress_.label_.hide();
    const int answer = inner_.show(look, text);
    progress_.sinceStart_.restart();
    return answer;
}

}  // namespace dsadmin
