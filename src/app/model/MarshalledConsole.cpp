#include "app/model/MarshalledConsole.h"

#include <utility>

namespace plinth {

void MarshalledConsole::AppendText(std::string_view text) {
    Post({Call::Kind::AppendText, std::string(text)});
}

void MarshalledConsole::ClearConsole() {
    Post({Call::Kind::Plain, {}, 0, &IConsole::ClearConsole});
}

void MarshalledConsole::ShowProgress() {
    Post({Call::Kind::Plain, {}, 0, &IConsole::ShowProgress});
}

void MarshalledConsole::SetProgress(int position) { Post({Call::Kind::SetProgress, {}, position}); }

void MarshalledConsole::HideProgress() {
    Post({Call::Kind::Plain, {}, 0, &IConsole::HideProgress});
}

void MarshalledConsole::Post(Call call) {
    if (std::this_thread::get_id() == m_owner) {
        Deliver();
        Apply(call);
        return;
    }
    const std::lock_guard lock(m_mutex);
    if (!m_pending.empty() && m_pending.back().kind == call.kind) {
        Call& last = m_pending.back();
        if (call.kind == Call::Kind::AppendText) {
            last.text += call.text;
            return;
        }
        if (call.kind == Call::Kind::SetProgress) {
            last.position = call.position;
            return;
        }
    }
    m_pending.push_back(std::move(call));
}

void MarshalledConsole::Deliver() {
    std::vector<Call> calls;
    {
        const std::lock_guard lock(m_mutex);
        calls.swap(m_pending);
    }
    for (const Call& call : calls) {
        Apply(call);
    }
}

void MarshalledConsole::Apply(const Call& call) {
    switch (call.kind) {
        case Call::Kind::AppendText:
            m_target.AppendText(call.text);
            break;
        case Call::Kind::SetProgress:
            m_target.SetProgress(call.position);
            break;
        case Call::Kind::Plain:
            (m_target.*call.plain)();
            break;
    }
}

}  // namespace plinth
