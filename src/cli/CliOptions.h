#pragma once
// The command line of dsadmin-cli: a command (create, modify, delete, plan create,
// plan modify, check) and its options. Parsing reads no file and no environment; the
// password is never an argument. Text is UTF-8.
//
// Options are listed once, in CliOptions.cpp's table: a new option is one row there (its name,
// whether it takes a value, what it sets), one field here and one line of UsageText().

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dsadmin::cli {

// A command line that cannot be run (exit code 2). what() is one line for the operator and
// never repeats an argument's value.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Command { Create, Modify, Delete, PlanCreate, PlanModify, Check };

enum class PasswordFrom { Settings, Env, File, Stdin, Prompt };

struct CliOptions {
    std::optional<Command> command;         // set once the command word was read
    std::optional<std::string> appFolder;   // --app-folder; default the executable's folder
    std::optional<std::string> structure;   // --structure FILE
    std::string server = "(local)";         // --server HOST[,PORT]
    std::optional<std::string> login;       // --login
    std::optional<std::string> database;    // --database
    std::optional<std::string> saveFolder;  // --save-folder (create)
    std::optional<std::string> encrypt;     // --encrypt optional|mandatory|strict
    bool trustServerCertificate = false;    // --trust-server-certificate
    std::optional<std::string> caFile;      // --ca-file FILE
    PasswordFrom passwordFrom = PasswordFrom::Settings;
    std::string passwordSource;    // the variable's name or the file's path
    int lockTimeoutSeconds = 60;   // --lock-timeout: how long create/modify/delete wait
    int loginTimeoutSeconds = 15;  // --login-timeout: connecting and logging in; 0 for ever
    int queryTimeoutSeconds = 30;  // --query-timeout: each statement's answer; 0 for ever
    bool yes = false;
    bool json = false;
    bool quiet = false;    // --quiet: only failures are written (and the JSON document)
    bool verbose = false;  // --verbose: each statement on stderr as it is sent
    bool help = false;
    bool version = false;

    // Reads args (without the program's name). Throws UsageError for an unknown command or
    // option, a missing value, a value given to an option that takes none, two password
    // sources, --save-folder given to another command than create, an --encrypt value other
    // than optional, mandatory or strict, or --ca-file together with
    // --trust-server-certificate. --help and --version stop the reading and need no command.
    static CliOptions Parse(const std::vector<std::string>& args);
    // The same, filling `into` as far as the reading got (the JSON of a usage error reports
    // the command and --json even when a later word was refused).
    static void Parse(const std::vector<std::string>& args, CliOptions& into);

    // The command's name as the command line writes it: "create", "plan modify", ...
    static std::string Name(Command command);

    // True for the commands that change the server: create, modify, delete.
    bool changes() const {
        return command == Command::Create || command == Command::Modify ||
               command == Command::Delete;
    }
    bool plan() const { return command == Command::PlanCreate || command == Command::PlanModify; }
};

// The text of --help.
std::string UsageText();

}  // namespace dsadmin::cli
