#pragma once
// What the application sets up once, before the window opens.

class QApplication;
class QCoreApplication;
class QWidget;

namespace dsadmin {

// The family every control asks for, and the installed faces that stand in for it.
inline constexpr const char* kSongTi = "宋体";

// Maps "宋体" to an installed Song/Ming face with Chinese glyphs (AR PL UMing from
// fonts-arphic-uming, else WenQuanYi). Idempotent.
void InstallFontSubstitutions();

// Loads Qt's Simplified Chinese translations (standard dialogs and buttons, the command-line
// parser's headings) into `app`.
void LoadQtTranslations(QCoreApplication& app);

// Loads Qt's translations, installs the font substitutions and sets the application's name,
// version, desktop file name (org.dsadmin.dsadmin: Wayland matches the window to its desktop
// entry by it; on X11 the entry names the window class, "dsadmin") and icon.
void SetUpApplication(QApplication& app);

// On X11, keeps the top-level `window` out of the task bar (_NET_WM_STATE_SKIP_TASKBAR).
// Call before the window is first shown. Does nothing on other platforms.
void SkipTaskbar(QWidget& window);

}  // namespace dsadmin
