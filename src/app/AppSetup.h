#pragma once
// What the application sets up once, before the window opens.

class QApplication;
class QCoreApplication;
class QWidget;

namespace dsadmin {

// The family every control asks for, and the installed faces that stand in for it.
inline constexpr const char* kSongTi = "宋体";

// The Song face that stands in for "宋体": Noto Serif CJK SC (fonts-noto-cjk, which the
// package depends on), whose Latin letters stay legible beside the Chinese ("(local)" does not
// read "(1oca1)" as in AR PL UMing).
inline constexpr const char* kSongTiFace = "Noto Serif CJK SC";

// Maps "宋体" to kSongTiFace, else to another installed face with Chinese glyphs (AR PL UMing
// from fonts-arphic-uming, WenQuanYi). Qt takes the first of them that fontconfig lists, by
// name: no font file is opened to choose. Idempotent.
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
