#include "platform/ui/UserInput.h"
#include "platform/ui/UiWindow.h"

#include <map>
#include <mutex>

namespace plat::ui {

namespace {

struct PendingInput {
    HWND control;
    std::function<void(HWND)> action;
};

struct InputTable {
    std::mutex mutex;
    std::map<WPARAM, PendingInput> inputs;
    WPARAM next = 1;
};

InputTable& Inputs()
{
    static InputTable* table = new InputTable;
    return *table;
}

// Input goes to the dialog at the top (the one a message loop filters
// on): pages and controls are its children.
HWND TopLevelOf(HWND hwnd)
{
    HWND top = hwnd;
    while (top && (WindowStyle(top) & WS_CHILD)) {
        HWND parent = GetParent(top);
        if (!parent)
            break;
        top = parent;
    }
    return top;
}

} // namespace

bool PostUserInput(HWND control, std::function<void(HWND)> action)
{
    InputTable& table = Inputs();
    WPARAM id;
    {
        std::lock_guard lock(table.mutex);
        id = table.next++;
        table.inputs.emplace(id, PendingInput{control, std::move(action)});
    }
    if (PostMessageW(TopLevelOf(control), kUserInputMessage, id, 0))
        return true;
    std::lock_guard lock(table.mutex);
    table.inputs.erase(id);
    return false;
}

void RunUserInput(WPARAM id)
{
    PendingInput input;
    {
        InputTable& table = Inputs();
        std::lock_guard lock(table.mutex);
        auto it = table.inputs.find(id);
        if (it == table.inputs.end())
            return;
        input = std::move(it->second);
        table.inputs.erase(it);
    }
    if (IsWindow(input.control))
        input.action(input.control);
}

int PendingUserInput(HWND control)
{
    InputTable& table = Inputs();
    std::lock_guard lock(table.mutex);
    int count = 0;
    for (const auto& [id, input] : table.inputs)
        count += input.control == control ? 1 : 0;
    return count;
}

void DropUserInput(HWND control)
{
    InputTable& table = Inputs();
    std::lock_guard lock(table.mutex);
    std::erase_if(table.inputs, [control](const auto& entry) { return entry.second.control == control; });
}

} // namespace plat::ui
