#pragma once

#include <string>
#include <utility>
#include <vector>

#include "book/Console.h"

namespace plinth::test {

// A console that remembers everything it was told.
class RecordingConsole final : public IConsole {
  public:
    void AppendText(std::string_view text) override { text_.append(text); }
    void ClearConsole() override {
        text_.clear();
        ++clears;
    }
    void ShowProgress() override {
        progressVisible = true;
        ++shows;
    }
    void SetProgress(int position) override { progress.push_back(position); }
    void HideProgress() override { progressVisible = false; }
    void AddAttribute(std::string_view field, std::string_view value) override {
        rows.emplace_back(field, value);
    }
    void ClearAttributes() override { rows.clear(); }

    const std::string& Text() const { return text_; }
    std::string Row(std::string_view field) const;

    std::vector<int> progress;
    std::vector<std::pair<std::string, std::string>> rows;
    bool progressVisible = false;
    int shows = 0;
    int clears = 0;

  private:
    std::string text_;
};

}  // namespace plinth::test
