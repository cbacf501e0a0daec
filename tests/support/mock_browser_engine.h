#pragma once
// A gmock BrowserEngine: tests state the calls they expect and what the
// engine answers.
#include <gmock/gmock.h>

#include "automation/browser_engine.h"

namespace vidralo::test {

class MockBrowserEngine : public BrowserEngine {
 public:
  MOCK_METHOD(void, setRunDirectory, (const std::string& directory), (override));
  MOCK_METHOD(void, setLogCallback, (LogCallback callback), (override));
  MOCK_METHOD(std::string, version, (), (const, override));
  MOCK_METHOD(bool, globalInit, (const std::string& browserPath), (override));

  MOCK_METHOD(StartedBrowser, startBrowser, (const std::string& url, const StartOptions& options), (override));
  MOCK_METHOD(std::vector<RunningBrowser>, connectStarted, (), (override));
  MOCK_METHOD(int, runningBrowserCount, (), (const, override));
  MOCK_METHOD(void, closeBrowser, (SessionId session), (override));
  MOCK_METHOD(void, closeBrowsers, (), (override));

  MOCK_METHOD(bool, isConnected, (SessionId session), (override));
  MOCK_METHOD(void, closeOtherPages, (SessionId session), (override));
  MOCK_METHOD(void, activatePage, (SessionId session), (override));
  MOCK_METHOD(std::string, pageUrl, (SessionId session), (override));
  MOCK_METHOD(void, overrideDialogs, (SessionId session), (override));
  MOCK_METHOD(bool, navigate, (SessionId session, const std::string& url), (override));
  MOCK_METHOD(void, refresh, (SessionId session), (override));
  MOCK_METHOD(bool, pageIsLoaded, (SessionId session, const std::string& marker), (override));
  MOCK_METHOD(bool, waitPageLoaded, (SessionId session, const std::string& marker), (override));
  MOCK_METHOD(void, setWindowTitle, (SessionId session, const std::string& title), (override));
  MOCK_METHOD(std::string, captureScreenshot, (SessionId session), (override));

  MOCK_METHOD(bool, elementExists, (SessionId session, const std::string& selector), (override));
  MOCK_METHOD(bool, elementShown, (SessionId session, const std::string& selector), (override));
  MOCK_METHOD(std::string, elementText, (SessionId session, const std::string& selector), (override));
  MOCK_METHOD(bool, click, (SessionId session, const std::string& selector, bool mouseEvents), (override));
  MOCK_METHOD(bool, input, (SessionId session, const std::string& selector, const std::string& text), (override));
  MOCK_METHOD(bool, uploadFile, (SessionId session, const std::string& path), (override));

  MOCK_METHOD(std::string, versionJson, (SessionId session), (override));
};

}  // namespace vidralo::test
