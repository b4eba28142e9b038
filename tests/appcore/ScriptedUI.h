#pragma once
// A UserInterface that answers from a script and records what it was asked
// and shown, for driving the application logic in tests.
#include <deque>
#include <string>
#include <vector>

#include "app/core/UserInterface.h"

class ScriptedUI : public UserInterface {
 public:
  // Answers, taken in order; a missing answer cancels.
  std::deque<StartChoice> startAnswers;
  std::deque<std::optional<FolderItem>> fileAnswers;
  int stopAfterChecks = -1;  // StopRequested answers true after this many calls

  // What happened, one line per call, for checking the order of steps.
  std::vector<std::string> log;
  std::vector<ListRow> rows;
  std::string statistics;
  std::string title;
  std::vector<std::string> messages;
  std::vector<DialogText> dialogs;
  bool progressShowing = false;
  bool quit = false;

  StartChoice AskNewOrExisting(const std::string& message) override {
    log.push_back("ask: " + message);
    if (startAnswers.empty()) return StartChoice::Quit;
    StartChoice c = startAnswers.front();
    startAnswers.pop_front();
    return c;
  }
  std::optional<FolderItem> AskSaveFile(const DialogText& t) override { return answer("save", t); }
  std::optional<FolderItem> AskArchive(const DialogText& t) override { return answer("archive", t); }
  std::optional<FolderItem> AskFile(const DialogText& t) override { return answer("file", t); }
  std::optional<FolderItem> AskFolder(const DialogText& t) override { return answer("folder", t); }
  void ShowMessage(const std::string& text) override {
    log.push_back("message: " + text);
    messages.push_back(text);
  }
  void ShowProgress() override {
    if (!progressShowing) log.push_back("progress on");
    progressShowing = true;
  }
  void CloseProgress() override {
    if (progressShowing) log.push_back("progress off");
    progressShowing = false;
  }
  bool StopRequested() override {
    if (stopAfterChecks < 0) return false;
    return stopAfterChecks-- == 0;
  }
  void ShowArchiveWindow() override { log.push_back("window"); }
  void SetTitle(const std::string& t) override { title = t; }
  void SetRows(const std::vector<ListRow>& r) override { rows = r; }
  void SetStatistics(const std::string& text) override { statistics = text; }
  void Quit() override {
    log.push_back("quit");
    quit = true;
  }

 private:
  std::optional<FolderItem> answer(const std::string& kind, const DialogText& t) {
    log.push_back(kind + ": " + t.title);
    dialogs.push_back(t);
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
  }
};
