#include "app/frm_Main.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <limits>

#include "app/AppIcon.h"
#include "app/AppSetup.h"
#include "app/ComboBox.h"
#include "app/FolderPicker.h"
#include "app/ProgressDisplay.h"
#include "app/QtMsgBox.h"
#include "app/RunDispatch.h"
#include "app/StarPasswordStyle.h"
#include "runs/CreateDatabaseRun.h"
#include "runs/DeleteDatabaseRun.h"
#include "runs/ModifyDatabaseRun.h"

namespace dsadmin {
namespace {

const char* const kFolderTip = "选择数据库文件的保存止录。";

// Label1 by index: caption and top inside the frame (the box beside it sits 8 pixels higher).
struct LabelPlace {
    const char* caption;
    int top;
};
constexpr std::array<LabelPlace, 6> kLabels{{{"数据库类型:", 32},
                                             {"服务器名:", 64},
                                             {"登陆账号:", 160},
                                             {"登陆密码:", 192},
                                             {"数据库名:", 96},
                                             {"保存路径:", 128}}};

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}
QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QLineEdit* TextBox(QWidget* parent, const char* name, QRect geometry) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(Q(name));
    box->setGeometry(geometry);
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* button = new QPushButton(Q(caption), parent);
    button->setObjectName(Q(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

// Typing in the login and password boxes goes straight in, never through an input method.
void InputMethodOff(QLineEdit* box) {
    box->setInputMethodHints(box->inputMethodHints() | Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
}

}  // namespace

frm_Main::frm_Main(Environment environment, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      msgBox_(environment.msgBox),
      pickFolder_(std::move(environment.pickFolder)),
      progressDelay_(environment.progressDelay) {
    if (!msgBox_) {
        ownMsgBox_ = std::make_unique<QtMsgBox>(this);
        msgBox_ = ownMsgBox_.get();
    }
    if (!pickFolder_) pickFolder_ = BrowseForFolder;
    InstallFontSubstitutions();
    setObjectName(QStringLiteral("frm_Main"));
    setWindowTitle(Q(kAppTitle));
    // The application's icon, already drawn when SetUpApplication ran; drawn here otherwise.
    const QIcon appIcon = QGuiApplication::windowIcon();
    setWindowIcon(appIcon.isNull() ? AppIcon() : appIcon);
    QFont font(Q(kSongTi));
    font.setPointSizeF(10.5);
    setFont(font);
    setFixedSize(408, 269);
    createControls();
    createButtons();
    applyTabOrder();

    // The load step.
    appFolder_ = environment.appFolder.empty() ? AppFolder() : environment.appFolder;
    setupPath_ = MakeSetupPath(appFolder_);
    LoadDBSet();
    centreOnScreen();
}

frm_Main::frm_Main(QWidget* parent) : frm_Main(Environment(), parent) {}

frm_Main::~frm_Main() = default;

void frm_Main::createControls() {
    Frame1 = new QGroupBox(Q("数据库信息:"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(0, 0, 409, 233);
    for (std::size_t i = 0; i < Label1.size(); ++i) {
        Label1[i] = new QLabel(Q(kLabels[i].caption), Frame1);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setGeometry(48, kLabels[i].top, 121, 25);
        Label1[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    Combo1 = new ComboBox(Frame1);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(144, 24, 217, 22);
    Text1 = TextBox(Frame1, "Text1", {144, 56, 217, 21});
    Text4 = TextBox(Frame1, "Text4", {144, 88, 217, 21});
    Text5 = TextBox(Frame1, "Text5", {144, 120, 217, 21});
    Command4 = Button(Frame1, "Command4", "...", {360, 120, 33, 21});
    Text2 = TextBox(Frame1, "Text2", {144, 152, 217, 21});
    Text3 = TextBox(Frame1, "Text3", {144, 184, 217, 21});
    Text3->setEchoMode(QLineEdit::Password);
    Text3->setStyle(new StarPasswordStyle());
    Text3->style()->setParent(Text3);
    InputMethodOff(Text2);
    InputMethodOff(Text3);
    ProgressLabel = new QLabel(Frame1);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressLabel->setGeometry(48, 208, 345, 22);
    ProgressLabel->setVisible(false);
}

void frm_Main::createButtons() {
    Command3 = Button(this, "Command3", "删除数据库", {96, 232, 97, 33});
    Command1 = Button(this, "Command1", "创建新数据库", {192, 232, 97, 33});
    Command2 = Button(this, "Command2", "修改现有库结构", {288, 232, 113, 33});
    Command3->setVisible(false);
    connect(Command1, &QPushButton::clicked, this, &frm_Main::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frm_Main::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frm_Main::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frm_Main::Command4_Click);
}

void frm_Main::applyTabOrder() {
    const QWidget* order[] = {Combo1, Text1,    Text2,    Text3, Command1,
                              Text4,  Command2, Command3, Text5, Command4};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    }
    Combo1->setFocus();
}

void frm_Main::centreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
}

// The one place where the boxes are mapped to what they mean.
RunFields frm_Main::runFields() const {
    RunFields fields;
    fields.databaseType = Combo1->currentText().toStdString();
    fields.server = Text1->text().toStdString();
    fields.login = Text2->text().toStdString();
    fields.password = Text3->text().toStdString();
    fields.databaseName = Text4->text().toStdString();
    fields.saveFolder = Text5->text().toStdString();
    return fields;
}

std::string frm_Main::GetDirName() {
    return pickFolder_();
}

void frm_Main::SaveDBSet() {
    dsadmin::SaveDBSet(runFields(), setupPath_);
}

void frm_Main::LoadDBSet() {
    const LoadedDBSet set = dsadmin::LoadDBSet(setupPath_);
    Combo1->setEditText(Q(set.databaseType));
    Combo1->setLocked(true);
    Text1->setText(Q(set.server));
    Text1->setReadOnly(true);
    Text2->setText(Q(set.login));
    Text3->setText(Q(set.password));
    Text4->setText(Q(set.databaseName));
    Text5->clear();
    Text5->setToolTip(Q(kFolderTip));
    Command4->setToolTip(Text5->toolTip());
    Text5->setReadOnly(true);
    Command3->setVisible(set.superUser);
}

// Each run gets the boxes' texts at the click; RunFromWindow catches what the run does not.
void frm_Main::startRun(Run run) {
    running_ = true;
    {
        ProgressDisplay progress(*ProgressLabel, progressDelay_);
        ProgressDisplay::Boxes boxes(*msgBox_, progress);
        RunInput input{runFields(), setupPath_, appFolder_, boxes, &progress};
        input.whileWaiting = [&progress] { progress.waiting(); };
        RunFromWindow(run, input);
    }
    running_ = false;
}

void frm_Main::Command1_Click() {
    startRun(CreateDatabaseRun);
}
void frm_Main::Command2_Click() {
    startRun(ModifyDatabaseRun);
}
void frm_Main::Command3_Click() {
    startRun(DeleteDatabaseRun);
}

void frm_Main::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frm_Main::Command4_Click() {
    Text5->setText(Q(GetDirName()));
}

}  // namespace dsadmin
