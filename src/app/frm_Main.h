#pragma once
// The one window: database type, server, database name, save folder, login and password, and
// the create, modify and delete buttons. A thin dispatcher: what it stores and loads lives in
// settings/DBSet.h, the runs live in db/.

#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/RunDispatch.h"
#include "runs/MsgBox.h"
#include "runs/RunFields.h"
#include "settings/DBSet.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dsadmin {

class ComboBox;

class frm_Main : public QWidget {
    Q_OBJECT
  public:
    // Returns the chosen folder (full path, UTF-8) or "" when cancelled.
    using FolderPicker = std::function<std::string()>;

    // What the window works with; an empty member takes the default.
    struct Environment {
        MsgBox* msgBox = nullptr;  // not owned; default: Qt message boxes over this window
        FolderPicker pickFolder;   // default: BrowseForFolder (FolderDialog)
        std::string appFolder;     // folder of Setup.ini; default: the executable's folder
        // How long a run works before ProgressLabel shows its step.
        std::chrono::milliseconds progressDelay{1000};
    };

    // Builds the controls and runs the load step (SetupPath, then LoadDBSet); writes nothing.
    // The window is centred on its screen; call show() to open it.
    explicit frm_Main(Environment environment, QWidget* parent = nullptr);
    // The window with every default: what the program opens.
    explicit frm_Main(QWidget* parent = nullptr);
    ~frm_Main() override;

    // The controls, under their designer names (also their object names; Label1[i], Label1
    // index i, is named "Label1_i").
    QGroupBox* Frame1{};
    std::array<QLabel*, 6> Label1{};
    ComboBox* Combo1{};
    QLineEdit* Text1{};
    QLineEdit* Text2{};
    QLineEdit* Text3{};
    QLineEdit* Text4{};
    QLineEdit* Text5{};
    QPushButton* Command1{};
    QPushButton* Command2{};
    QPushButton* Command3{};
    QPushButton* Command4{};
    // Inside Frame1 under the password box; shown while a run works and, after a create or
    // modify run failed, with how far it got until the next run (ProgressDisplay).
    QLabel* ProgressLabel{};

    // The settings file's full path, set once at load.
    const std::string& SetupPath() const { return setupPath_; }
    // The boxes' current texts (UTF-8, untrimmed), read at the moment of the call.
    RunFields runFields() const;
    // The message boxes the runs show.
    MsgBox& msgBox() const { return *msgBox_; }

    // Opens the folder picker; the chosen folder or "".
    std::string GetDirName();
    // Stores Combo1 and Text1..Text4 in Setup.ini (dsadmin::SaveDBSet).
    void SaveDBSet();
    // Fills the boxes from Setup.ini, applies defaults and locks, shows Command3 to a super user.
    void LoadDBSet();

  public slots:
    void Command1_Click();  // create a new database
    void Command2_Click();  // modify an existing database's structure
    void Command3_Click();  // delete the database
    void Command4_Click();  // choose the save folder into Text5

  protected:
    // While a run works the window stays open: the close is ignored.
    void closeEvent(QCloseEvent* event) override;

  private:
    // Runs `run` with the boxes' current texts, showing its progress.
    void startRun(Run run);
    void createControls();
    void createButtons();
    void applyTabOrder();
    void centreOnScreen();

    std::unique_ptr<MsgBox> ownMsgBox_;
    MsgBox* msgBox_;
    FolderPicker pickFolder_;
    std::string appFolder_;  // the executable's folder: Setup.ini and the structure file
    std::string setupPath_;
    std::chrono::milliseconds progressDelay_;
    bool running_ = false;
};

}  // namespace dsadmin
