#include "interpreter/script_check.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "interpreter/expression.h"
#include "script/substitution.h"

namespace zev {

Text ScriptCheckFailure::Describe() const {
    return u"statement " + FromInt(static_cast<int64_t>(statement) + 1) + u": " + rule;
}

namespace {

// Variables the engine defines before the first statement, and the names a script may
// read without assigning them first.
constexpr const char16_t* kPredefinedNames[] = {
    // Worker progress and cancellation.
    u"QUIB_thProgress", u"QUIB_thMax", u"QUIB_thMin", u"QUIB_thProgressText", u"QUIB_thFinished",
    u"QUIB_thCancelled", u"QUIB_IsCancelled", u"QUIB_LastDelegateTick", u"QUIB_LastActiveTick",
    // Before the maintenance bootstrap.
    u"TARGETDIR", u"STARTMENU", u"ALLUSERS",
    // Initialization.
    u"QUIB_TIMEOUT", u"QUIB_COMPRESS_INSTALLER_CACHE", u"QUIB_DISABLE_ROLLBACK",
    u"QUIB_DISABLE_VISTA_RESTART_MANAGER", u"CHARSET_OVERRIDE", u"NATIVE_ENGINE", u"NATIVE_LOGGING",
    u"NATIVE_ROLLBACK", u"NATIVE_HARDLINK", u"NATIVE_ERROR", u"NATIVE_OVERWRITE", u"NATIVE_OVERWRITE_OLDER",
    u"NATIVE_PROGRESS", u"DELAYUNTIL_APPLYCHANGES", u"NATIVE_OVERRIDE_PERMISSIONS",
    u"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", u"IISHOST", u"OVERRIDECACHE", u"QUIBLOGO", u"SELECTED",
    u"WINDOWHANDLE", u"EXEFILE", u"EXEDIR", u"PROGRESSTEXT", u"PROGRESSMODE", u"CUSTOM_TASKBAR_PROGRESS_ENABLED",
    u"CUSTOM_TASKBAR_PROGRESS_PERCENT", u"CUSTOM_TASKBAR_PROGRESS_MAX", u"ABORT", u"PROGRESS", u"LASTERROR",
    u"LICENSE", u"USERNAME", u"USERCOMPANY", u"COPYWEBLOCK", u"REBOOTCOMPUTER", u"RUNAPP", u"WIZARD", u"FX",
    u"FXGROUND", u"FXTIME", u"VERSION", u"SILENT", u"LOGGED", u"CMDLINE", u"REBOOTNOW", u"SFXPATH", u"SFXFILE",
    u"GPOPATH", u"SETUPPATH", u"COMPLETE", u"NEWLINE", u"MINIMUM", u"PERSONALIZED", u"MODIFY", u"GLASS",
    u"REPAIR", u"REMOVE", u"ROOTDIR", u"TITLE", u"COMPANY", u"ADVERTISE", u"DATE", u"TIME", u"TEMPDIR",
    u"ABORTONERROR", u"ABORTEDONERROR", u"SAVEDATA", u"SUPPORTDIR", u"MSIFILE",
    // Known to the check without a value of their own at this point.
    u"NATIVE_OLDLOG", u"QUIB_COMPRESSCACHE", u"QUIB_DISABLEROLLBACK", u"QUIB_DISABLEVISTARESTARTMANAGER",
    u"NEWINSTANCE", u"DATADIR", u"PRODUCTCODE", u"REVISIONCODE", u"MAINTENANCE", u"NEEDSUPGRADE",
    u"RECOMMENDEDUPGRADE", u"LANGUAGE",
};

constexpr char16_t kPersistenceMarker[] = u"$QUIB$QUIB$";

// How a command stores its result.
enum class ResultRule {
    Mandatory,          // parameter must name a variable
    Optional,           // defined when not empty
    BeforeBar,          // mandatory; the part before the first "|"
    BeforeMarker,       // mandatory; the part before "$QUIB$QUIB$"
    WhenFirstIsTrue,    // mandatory when parameter 1 passes the truth test, else optional
    UnlessSeeding,      // mandatory unless parameter 3 is "13" or "14", else optional
    AtLeastOneOfPair,   // this and the next parameter optional, but not both empty
};

struct ResultParameter {
    std::u16string_view command;
    size_t parameter;
    ResultRule rule;
};

constexpr ResultParameter kResultParameters[] = {
    {u"Get Folder Location", 1, ResultRule::Mandatory},
    {u"Is MSI Setup Installed", 2, ResultRule::Mandatory},
    {u"Get INI File Settings", 1, ResultRule::Mandatory},
    {u"Get XML File Settings", 1, ResultRule::Mandatory},
    {u"Evaluate XPath Query", 3, ResultRule::Mandatory},
    {u"Read from Text File", 2, ResultRule::Mandatory},
    {u"Read from Text File", 3, ResultRule::Optional},
    {u"Check File Version", 1, ResultRule::Mandatory},
    {u"Get System Settings", 1, ResultRule::Mandatory},
    {u"Get OS or SP Level", 1, ResultRule::Mandatory},
    {u"Evaluate Expression", 2, ResultRule::Mandatory},
    {u"Read Registry", 1, ResultRule::BeforeBar},
    {u"Check Registry", 1, ResultRule::BeforeBar},
    {u"Find All Registry", 1, ResultRule::Mandatory},
    {u"Find All Computers", 1, ResultRule::Mandatory},
    {u"Does File/Folder Exist", 1, ResultRule::Mandatory},
    {u"Set Variable", 1, ResultRule::BeforeMarker},
    {u"Localization Variable", 1, ResultRule::Mandatory},
    {u"Get Temporary File", 1, ResultRule::Mandatory},
    {u"Get IIS Property", 1, ResultRule::Mandatory},
    {u"Get File Version", 2, ResultRule::Mandatory},
    {u"Get Environment", 2, ResultRule::Mandatory},
    {u"Get IIS Site Index", 2, ResultRule::Mandatory},
    {u"Get IIS Site List", 1, ResultRule::Mandatory},
    {u"Find All Files", 4, ResultRule::Mandatory},
    {u"Check Disk Space", 1, ResultRule::Mandatory},
    {u"Check Service", 3, ResultRule::Mandatory},
    {u"Check Process", 2, ResultRule::Mandatory},
    {u"Check Computer", 2, ResultRule::Mandatory},
    {u"Get Component State", 2, ResultRule::Mandatory},
    {u"Get Component Space", 2, ResultRule::Mandatory},
    {u"IIS Anonymous User", 1, ResultRule::Mandatory},
    {u"System Restore", 3, ResultRule::WhenFirstIsTrue},
    {u"Mathematics", 4, ResultRule::UnlessSeeding},
    {u"Parse String", 3, ResultRule::AtLeastOneOfPair},
    {u"Extract 7Zip Archive", 3, ResultRule::Optional},
    {u"Compress 7Zip Archive", 10, ResultRule::Optional},
    {u"Delete 7Zip Archive", 4, ResultRule::Optional},
    {u"Test 7Zip Archive", 3, ResultRule::Optional},
    {u"List 7Zip Archive", 3, ResultRule::Optional},
    {u"Run Light Mode Setup", 2, ResultRule::Optional},
    {u"Remote Run Program", 6, ResultRule::Optional},
    {u"Run Program", 4, ResultRule::Optional},
    {u"Run Program As", 8, ResultRule::Optional},
    {u"MessageBox", 5, ResultRule::Optional},
    {u"Terminate Process", 2, ResultRule::Optional},
    {u"Register Library", 3, ResultRule::Optional},
    {u"Apply Changes", 2, ResultRule::Optional},
    {u"Apply Patch", 1, ResultRule::Optional},
    {u"Display Dialog", 2, ResultRule::Optional},
};

// Commands whose parameter names a variable they read.
struct ReadParameter {
    std::u16string_view command;
    size_t parameter;
    bool may_be_empty;
};

constexpr ReadParameter kReadParameters[] = {
    {u"Convert Path", 1, false},
    {u"Convert Case", 1, false},
    {u"Extract Path", 1, false},
    {u"Replace String", 1, false},
    {u"Display Dialog", 4, true},
};

enum class BlockKind { If, WizardLoop, While, Repeat, ForEach };

struct OpenBlock {
    BlockKind kind;
    size_t statement;
    Text loop_variable;  // For Each: the variable the loop defines, when it did
};

Text Quoted(TextView text) {
    return u"\"" + Text(text) + u"\"";
}

TextView OpenerName(BlockKind kind) {
    switch (kind) {
        case BlockKind::If: return u"If";
        case BlockKind::WizardLoop: return u"Wizard Loop";
        case BlockKind::While: return u"While";
        case BlockKind::Repeat: return u"Repeat";
        case BlockKind::ForEach: break;
    }
    return u"For Each";
}

TextView CloserName(BlockKind kind) {
    switch (kind) {
        case BlockKind::If:
        case BlockKind::WizardLoop: return u"End";
        case BlockKind::While: return u"Wend";
        case BlockKind::Repeat: return u"Until";
        case BlockKind::ForEach: break;
    }
    return u"Next";
}

std::optional<BlockKind> OpenerKind(TextView command) {
    if (command == u"If") return BlockKind::If;
    if (command == u"Wizard Loop") return BlockKind::WizardLoop;
    if (command == u"While") return BlockKind::While;
    if (command == u"Repeat") return BlockKind::Repeat;
    if (command == u"For Each") return BlockKind::ForEach;
    return std::nullopt;
}

bool IsCloser(TextView command) {
    return command == u"End" || command == u"Wend" || command == u"Until" || command == u"Next";
}

bool Closes(TextView closer, BlockKind kind) {
    return closer == CloserName(kind);
}

bool IsCondition(TextView command) {
    return command == u"If" || command == u"Else If" || command == u"While" || command == u"Until";
}

bool IsLegalFileName(TextView name) {
    for (char16_t c : name)
        if (c < 32 || TextView(u"<>:\"/\\|?*").find(c) != TextView::npos) return false;
    return true;
}

// The variable named by a parameter in plain or dollar form.
Text NameOf(TextView parameter) {
    Text inner = DollarFormName(parameter);
    return inner.empty() ? Text(parameter) : inner;
}

class ScriptChecker {
public:
    ScriptChecker(const StatementTable& script, TVariableManager& variables)
        : script_(script), variables_(variables) {}

    std::vector<ScriptCheckFailure> Run() {
        variables_.RemoveAll();
        for (const char16_t* name : kPredefinedNames) variables_.AssignOrCreate(name, u"", u"Compilation");
        DefinePersistentVariables();
        for (size_t index = 0; index < script_.StatementCount(); ++index)
            if (script_.IsVisible(index)) CheckStatement(index);
        // A closer that did not match has already been reported; the blocks it left
        // open would only repeat that finding.
        if (!block_mismatch_)
            for (const OpenBlock& block : open_)
                Fail(block.statement, Quoted(OpenerName(block.kind)) + u" is not closed by " +
                                          Quoted(CloserName(block.kind)));
        for (const auto& [statement, label] : jumps_)
            if (!labels_.contains(label))
                Fail(statement, u"\"GoTo Label\" target " + Quoted(label) + u" is not a defined label");
        return std::move(failures_);
    }

private:
    Text P(size_t index, size_t n) const { return script_.ParameterOf(index, n); }

    void Fail(size_t statement, Text rule) { failures_.push_back({statement, std::move(rule)}); }

    void Define(TextView name) {
        if (name.empty()) return;
        variables_.SetItem(name, u"");
        const Text inner = DollarFormName(name);
        if (!inner.empty()) variables_.SetItem(inner, u"");
    }

    bool IsDefined(TextView parameter) const {
        return !parameter.empty() && variables_.Exists(NameOf(parameter));
    }

    // Variables kept in the maintenance state may be read before their Set Variable.
    void DefinePersistentVariables() {
        for (size_t index = 0; index < script_.StatementCount(); ++index) {
            if (!script_.IsVisible(index) || script_.Command(index) != u"Set Variable") continue;
            const Text first = P(index, 1);
            const size_t marker = first.find(kPersistenceMarker);
            if (marker == Text::npos) continue;
            if (TextView(first).substr(marker + std::size(kPersistenceMarker) - 1) == u"TRUE")
                Define(TextView(first).substr(0, marker));
        }
    }

    bool InsideWizardLoop() const { return !open_.empty() && open_.back().kind == BlockKind::WizardLoop; }

    bool InsideLoop() const {
        return std::any_of(open_.begin(), open_.end(), [](const OpenBlock& block) {
            return block.kind == BlockKind::While || block.kind == BlockKind::Repeat ||
                   block.kind == BlockKind::ForEach;
        });
    }

    void CheckStatement(size_t index) {
        const Text& command = script_.Command(index);
        if (InsideWizardLoop() && command != u"End" && command != u"Display Dialog" && command != u"Comment")
            Fail(index, Quoted(command) + u" may not stand inside a Wizard Loop; only \"Display Dialog\" and "
                                          u"\"Comment\" may");
        if (IsCondition(command)) CheckCondition(index, command);
        if (const auto kind = OpenerKind(command)) {
            Open(index, *kind);
        } else if (IsCloser(command)) {
            Close(index, command);
        } else if (command == u"Break" || command == u"Continue") {
            if (!InsideLoop()) Fail(index, Quoted(command) + u" must stand inside a While, Repeat or For Each loop");
        } else if (command == u"Label") {
            CheckLabel(index);
        } else if (command == u"GoTo Label") {
            jumps_.emplace_back(index, ToUpper(P(index, 1)));
        }
        CheckReads(index, command);
        CheckOtherParameters(index, command);
        DefineResults(index, command);
    }

    void Open(size_t index, BlockKind kind) {
        OpenBlock block{kind, index, {}};
        if (kind == BlockKind::ForEach) {
            const Text name = NameOf(P(index, 1));
            if (name.empty()) {
                Fail(index, u"\"For Each\" needs a loop variable");
            } else if (variables_.Exists(name)) {
                const bool enclosing = std::any_of(open_.begin(), open_.end(), [&](const OpenBlock& outer) {
                    return outer.kind == BlockKind::ForEach && EqualsNoCase(outer.loop_variable, name);
                });
                Fail(index, enclosing ? u"\"For Each\" variable " + Quoted(name) + u" is the variable of an "
                                                                                    u"enclosing \"For Each\""
                                      : u"\"For Each\" variable " + Quoted(name) + u" is already defined before "
                                                                                    u"the loop");
            } else {
                Define(name);
                block.loop_variable = name;
            }
        }
        open_.push_back(std::move(block));
    }

    void Close(size_t index, const Text& command) {
        if (open_.empty()) {
            Fail(index, Quoted(command) + u" closes no open block");
            block_mismatch_ = true;
            return;
        }
        const OpenBlock& innermost = open_.back();
        if (!Closes(command, innermost.kind)) {
            Fail(index, Quoted(command) + u" does not close the innermost open block, " +
                            Quoted(OpenerName(innermost.kind)) + u" at statement " +
                            FromInt(static_cast<int64_t>(innermost.statement) + 1));
            block_mismatch_ = true;
            return;
        }
        if (!innermost.loop_variable.empty()) variables_.RemoveIfExists(innermost.loop_variable);
        open_.pop_back();
    }

    void CheckLabel(size_t index) {
        const Text name = ToUpper(P(index, 1));
        if (!open_.empty())
            Fail(index, u"\"Label\" " + Quoted(name) + u" may not stand inside a block");
        if (!labels_.emplace(name, index).second)
            Fail(index, u"\"Label\" " + Quoted(name) + u" is defined twice");
    }

    void CheckCondition(size_t index, const Text& command) {
        const Text first = P(index, 1);
        if (first.empty()) {
            Fail(index, Quoted(command) + u" needs a variable in parameter 1");
            return;
        }
        if (P(index, 2) == u"5") return;
        if (!IsDefined(first))
            Fail(index, Quoted(command) + u" reads variable " + Quoted(NameOf(first)) + u", which is not defined");
        const Text third = DollarFormName(P(index, 3));
        if (!third.empty() && !variables_.Exists(third))
            Fail(index, Quoted(command) + u" compares with variable " + Quoted(third) + u", which is not defined");
    }

    void CheckReads(size_t index, const Text& command) {
        for (const ReadParameter& read : kReadParameters) {
            if (read.command != command) continue;
            const Text name = P(index, read.parameter);
            if (name.empty() && read.may_be_empty) continue;
            if (!IsDefined(name))
                Fail(index, Quoted(command) + u" reads variable " + Quoted(NameOf(name)) + u" in parameter " +
                                FromInt(static_cast<int64_t>(read.parameter)) + u", which is not defined");
        }
    }

    void CheckOtherParameters(size_t index, const Text& command) {
        if (command == u"Display Dialog") {
            if (P(index, 1).empty()) Fail(index, u"\"Display Dialog\" needs a dialog name");
        } else if (command == u"Web Media Block") {
            const Text name = P(index, 1);
            if (!IsLegalFileName(name)) Fail(index, u"Web Media Block name must be a legal file name");
            if (!name.empty() && P(index, 2).empty())
                Fail(index, u"Web Media Block must have at least one download URL");
        } else if (command == u"Delete Files") {
            if (!IsTrue(P(index, 3)) && !IsTrue(P(index, 4)))
                Fail(index, u"\"Delete Files\" must delete files or folders: parameter 3 or 4 must be TRUE");
        } else if (command == u"Install Files") {
            if (P(index, 3).empty()) Fail(index, u"\"Install Files\" needs a target folder");
        } else if (command == u"Evaluate Expression") {
            if (!IsValidExpression(variables_.ExpandQuoted(P(index, 1))))
                Fail(index, u"\"Evaluate Expression\" expression is not valid: " + P(index, 1));
        }
    }

    void DefineResults(size_t index, const Text& command) {
        for (const ResultParameter& result : kResultParameters) {
            if (result.command != command) continue;
            Text name = P(index, result.parameter);
            bool mandatory = true;
            switch (result.rule) {
                case ResultRule::Mandatory: break;
                case ResultRule::Optional: mandatory = false; break;
                case ResultRule::BeforeBar: name = name.substr(0, name.find(u'|')); break;
                case ResultRule::BeforeMarker: name = name.substr(0, name.find(kPersistenceMarker)); break;
                case ResultRule::WhenFirstIsTrue: mandatory = IsTrue(P(index, 1)); break;
                case ResultRule::UnlessSeeding: {
                    const Text operation = P(index, 3);
                    mandatory = operation != u"13" && operation != u"14";
                    break;
                }
                case ResultRule::AtLeastOneOfPair: {
                    const Text second = P(index, result.parameter + 1);
                    if (name.empty() && second.empty())
                        Fail(index, Quoted(command) + u" needs a result variable in parameter " +
                                        FromInt(static_cast<int64_t>(result.parameter)) + u" or " +
                                        FromInt(static_cast<int64_t>(result.parameter) + 1));
                    Define(second);
                    mandatory = false;
                    break;
                }
            }
            if (name.empty()) {
                if (mandatory)
                    Fail(index, Quoted(command) + u" needs a result variable in parameter " +
                                    FromInt(static_cast<int64_t>(result.parameter)));
                continue;
            }
            Define(name);
        }
    }

    const StatementTable& script_;
    TVariableManager& variables_;
    std::vector<ScriptCheckFailure> failures_;
    std::vector<OpenBlock> open_;
    std::unordered_map<Text, size_t> labels_;
    std::vector<std::pair<size_t, Text>> jumps_;
    bool block_mismatch_ = false;
};

}  // namespace

std::vector<ScriptCheckFailure> CheckScriptAll(const StatementTable& script, TVariableManager& variables) {
    auto failures = ScriptChecker(script, variables).Run();
    std::stable_sort(failures.begin(), failures.end(), [](const ScriptCheckFailure& a, const ScriptCheckFailure& b) {
        return a.statement < b.statement;
    });
    return failures;
}

std::optional<ScriptCheckFailure> CheckScript(const StatementTable& script, TVariableManager& variables) {
    // Findings come in the order the scan meets them: a closer that does not match
    // is reported where it stands, not at the opener it left unclosed.
    auto failures = ScriptChecker(script, variables).Run();
    if (failures.empty()) return std::nullopt;
    return std::move(failures.front());
}

}  // namespace zev
