#include "app/ProgressDisplay.h"

#include <QCoreApplication>
#include <QLabel>

namespace dsadmin {
namespace {

constexpr qint64 kPaintEveryMs = 50;

}  // namespace

ProgressDisplay::ProgressDisplay(QLabel& label, std::chrono::milliseconds delay)
    : label_(label), delay_(delay) {
    label_.hide();
    label_.clear();
    label_.setToolTip({});
    sinceStart_.start();
}

ProgressDisplay::~ProgressDisplay() {
    if (keepLine_) return;
    label_.hide();
    label_.clear();
}

void ProgressDisplay::report(const RunStep& step) {
    account_.report(step);
    last_ = step;
    showStep(step);
}

void ProgressDisplay::waiting() {
    if (last_) showStep(*last_);
}

void ProgressDisplay::showStep(const RunStep& step) {
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

int ProgressDisplay::Boxes::show(const BoxLook& look, const std::string& text) {
    progress_.label_.hide();
    const int answer = inner_.show(look, text);
    progress_.sinceStart_.restart();
    if (look.kind == BoxKind::Failure) progress_.showAccount(text);
    return answer;
}

void ProgressDisplay::showAccount(const std::string& failure) {
    const RunAccount::Text account = account_.afterFailure(failure);
    if (account.line.empty()) return;
    const QString line = QString::fromStdString(account.line);
    label_.setText(label_.fontMetrics().elidedText(line, Qt::ElideRight, label_.width()));
    label_.setToolTip(QString::fromStdString(account.full));
    label_.show();
    keepLine_ = true;
}

}  // namespace dsadmin
