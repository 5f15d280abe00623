// If, loops, labels and jumps. The block machinery and the partner searches live in
// interpreter/control_flow; these handlers only move the statement pointer and the
// block state.
#include "interpreter/control_flow.h"

#include <algorithm>

#include "interpreter/dispatch.h"
#include "interpreter/interpreter.h"

namespace zev {

namespace {

TextView LoopHead(LoopKind kind) {
    switch (kind) {
        case LoopKind::While: return u"While";
        case LoopKind::Repeat: return u"Repeat";
        case LoopKind::ForEach: break;
    }
    return u"For Each";
}

TextView LoopEnd(LoopKind kind) {
    switch (kind) {
        case LoopKind::While: return u"Wend";
        case LoopKind::Repeat: return u"Until";
        case LoopKind::ForEach: break;
    }
    return u"Next";
}

UserInterface* InterfaceOf(Interpreter& interpreter) {
    return &interpreter.platform().ui;
}

size_t PartnerOfCurrent(Interpreter& interpreter, SearchDirection direction, TextView wanted) {
    return FindLoopPartner(interpreter.script(), interpreter.CurrentIndex(), direction, wanted,
                           InterfaceOf(interpreter));
}

void PopLoopKind(ControlFlow& flow) {
    if (!flow.loop_kinds.empty()) flow.loop_kinds.pop_back();
}

LoopKind InnermostLoop(Interpreter& interpreter) {
    const ControlFlow& flow = interpreter.control_flow();
    if (flow.loop_kinds.empty())
        throw ScriptError(u"\"" + interpreter.CurrentCommand() + u"\" outside a running loop");
    return flow.loop_kinds.back();
}

// Ends the For Each state at index: the state goes and its variable is removed.
void FinishForEach(Interpreter& interpreter, size_t state_index) {
    ControlFlow& flow = interpreter.control_flow();
    const Text name = flow.for_each_states[state_index].name;
    flow.for_each_states.erase(flow.for_each_states.begin() + static_cast<std::ptrdiff_t>(state_index));
    interpreter.variables().RemoveIfExists(name);
}

void If(Interpreter& interpreter) {
    ControlFlow& flow = interpreter.control_flow();
    ++flow.if_depth;
    if (!EvaluateCondition(interpreter)) flow.skip_to_else = true;
}

void ElseIf(Interpreter& interpreter) {
    ControlFlow& flow = interpreter.control_flow();
    if (!flow.landed_on_else_if) {
        flow.skip_to_end = true;  // the branch before it has run
        return;
    }
    flow.landed_on_else_if = false;
    if (!EvaluateCondition(interpreter)) flow.skip_to_else = true;
}

void Else(Interpreter& interpreter) {
    // Reached by a skip, the pointer is already past the Else; reached by execution,
    // the branch before it has run.
    interpreter.control_flow().skip_to_end = true;
}

void End(Interpreter& interpreter) {
    ControlFlow& flow = interpreter.control_flow();
    if (flow.wizard_ended) {
        flow.wizard_ended = false;
        return;
    }
    flow.if_depth = std::max(0, flow.if_depth - 1);
}

void While(Interpreter& interpreter) {
    if (EvaluateCondition(interpreter)) {
        interpreter.control_flow().loop_kinds.push_back(LoopKind::While);
        return;
    }
    interpreter.SetStatementPointer(PartnerOfCurrent(interpreter, SearchDirection::Forward, u"Wend") + 1);
}

void Wend(Interpreter& interpreter) {
    const size_t head = PartnerOfCurrent(interpreter, SearchDirection::Backward, u"While");
    PopLoopKind(interpreter.control_flow());
    interpreter.SetStatementPointer(head);
}

void Repeat(Interpreter& interpreter) {
    interpreter.control_flow().loop_kinds.push_back(LoopKind::Repeat);
}

void Until(Interpreter& interpreter) {
    const bool done = EvaluateCondition(interpreter);
    if (done) {
        PopLoopKind(interpreter.control_flow());
        return;
    }
    const size_t head = PartnerOfCurrent(interpreter, SearchDirection::Backward, u"Repeat");
    PopLoopKind(interpreter.control_flow());
    interpreter.SetStatementPointer(head);
}

// Splits the next item off a For Each list. Leading separators are dropped, so empty
// items between separators are never delivered; the last item leaves the separator
// behind, so the pass after it yields the empty item that ends the loop.
Text TakeNextItem(ForEachState& state) {
    Text& text = state.remaining;
    const Text& separator = state.separator;
    if (separator.empty()) {
        Text item = std::move(text);
        text.clear();
        return item;
    }
    size_t start = 0;
    while (text.compare(start, separator.size(), separator) == 0) start += separator.size();
    const size_t found = text.find(separator, start);
    Text item;
    if (found == Text::npos) {
        item = text.substr(start);
        text = separator;
    } else {
        item = text.substr(start, found - start);
        text.erase(0, found + separator.size());
    }
    return item;
}

void ForEach(Interpreter& interpreter) {
    ControlFlow& flow = interpreter.control_flow();
    const Text name = VariableNameOf(interpreter.Parameter(1));
    size_t state_index = flow.FindForEachState(name);
    if (state_index == ControlFlow::npos) {
        flow.loop_kinds.push_back(LoopKind::ForEach);
        flow.for_each_states.push_back({name, interpreter.Expanded(3), interpreter.Expanded(2)});
        state_index = flow.for_each_states.size() - 1;
    }
    const Text item = TakeNextItem(flow.for_each_states[state_index]);
    if (item.empty()) {
        const size_t next = PartnerOfCurrent(interpreter, SearchDirection::Forward, u"Next");
        PopLoopKind(flow);
        FinishForEach(interpreter, state_index);
        interpreter.SetStatementPointer(next + 1);
        return;
    }
    interpreter.variables().Assign(name, item, u"For Each Action");
}

void Next(Interpreter& interpreter) {
    interpreter.SetStatementPointer(PartnerOfCurrent(interpreter, SearchDirection::Backward, u"For Each"));
}

void Break(Interpreter& interpreter) {
    const LoopKind kind = InnermostLoop(interpreter);
    const size_t end = PartnerOfCurrent(interpreter, SearchDirection::Forward, LoopEnd(kind));
    ControlFlow& flow = interpreter.control_flow();
    PopLoopKind(flow);
    if (kind == LoopKind::ForEach && !flow.for_each_states.empty())
        FinishForEach(interpreter, flow.for_each_states.size() - 1);
    interpreter.SetStatementPointer(end + 1);
}

void Continue(Interpreter& interpreter) {
    const LoopKind kind = InnermostLoop(interpreter);
    const size_t head = PartnerOfCurrent(interpreter, SearchDirection::Backward, LoopHead(kind));
    // While and Repeat push again when their head runs; a For Each keeps its entry.
    if (kind != LoopKind::ForEach) PopLoopKind(interpreter.control_flow());
    interpreter.SetStatementPointer(head);
}

void GoToLabel(Interpreter& interpreter) {
    ControlFlow& flow = interpreter.control_flow();
    const Text label = interpreter.Parameter(1);
    const size_t target = flow.FindLabel(label);
    if (target == ControlFlow::npos) throw ScriptError(u"Label \"" + label + u"\" not found");
    interpreter.SetStatementPointer(target);
    flow.if_depth = 0;
    flow.skip_to_else = false;
    flow.skip_to_end = false;
    flow.landed_on_else_if = false;
    flow.wizard_active = false;
    flow.wizard_ended = false;
    // Labels stand outside every block, so after the jump no loop body is running.
    // Dropping the loop lists keeps a loop entered again later from resuming a stale
    // For Each list or closing against a stale stack entry.
    flow.loop_kinds.clear();
    flow.for_each_states.clear();
}

constexpr CommandRow kControlFlowCommands[] = {
    {u"If", If},
    {u"Else If", ElseIf},
    {u"Else", Else},
    {u"End", End},
    {u"While", While},
    {u"Wend", Wend},
    {u"Repeat", Repeat},
    {u"Until", Until},
    {u"For Each", ForEach},
    {u"Next", Next},
    {u"Break", Break},
    {u"Continue", Continue},
    {u"GoTo Label", GoToLabel},
};

}  // namespace

std::span<const CommandRow> ControlFlowCommands() {
    return kControlFlowCommands;
}

}  // namespace zev
