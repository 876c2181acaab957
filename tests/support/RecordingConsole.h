#pragma once

#include <string>
#include <utility>
#include <vector>

#include "book/BookReader.h"
#include "book/Console.h"

namespace plinth::test {

// A console that remembers everything it was told.
class RecordingConsole final : public IConsole {
  public:
    void AppendText(std::string_view text) override { text_.append(text); }
    void ClearConsole() override { text_.clear(); }
    void ShowProgress() override {
        progressVisible = true;
        ++shows;
    }
    void SetProgress(int position) override { progress.push_back(position); }
    void HideProgress() override { progressVisible = false; }

    const std::string& Text() const { return text_; }

    std::vector<int> progress;
    bool progressVisible = false;
    int shows = 0;

  private:
    std::string text_;
};

// The value of the attribute row `field` of the book that `book` has open.
std::string Row(const BookReader& book, std::string_view field);

}  // namespace plinth::test
