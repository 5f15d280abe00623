#include "interpreter/dispatch.h"

#include <unordered_map>

namespace zev {

namespace {

using Table = std::unordered_map<std::u16string_view, CommandHandler>;

Table BuildTable() {
    Table table;
    for (auto family : {ControlFlowCommands(), VariableCommands(), StringCommands(), PathCommands(),
                        ExpressionCommands(), ArchiveCommands(), ProgramCommands(), FileCommands()})
        for (const auto& row : family) table.emplace(row.name, row.handler);
    return table;
}

}  // namespace

CommandHandler FindHandler(TextView command) {
    static const Table table = BuildTable();
    auto it = table.find(command);
    return it == table.end() ? nullptr : it->second;
}

}  // namespace zev
