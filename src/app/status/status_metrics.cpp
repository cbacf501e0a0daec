#include "app/status/status_metrics.h"

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <iomanip>
#include <sstream>

namespace vidralo {
namespace {

// Seconds since the epoch of a local "yyyy-MM-dd HH:mm:ss"; 0 when unreadable.
double epochSeconds(const std::string& localTime) {
  std::tm parts{};
  std::istringstream in(localTime);
  in >> std::get_time(&parts, "%Y-%m-%d %H:%M:%S");
  if (in.fail()) return 0;
  parts.tm_isdst = -1;
  return static_cast<double>(std::mktime(&parts));
}

}  // namespace

MetricsFacts metricsFacts(StatusSnapshot& snapshot) {
  MetricsFacts facts;
  facts.accounts.reserve(snapshot.accounts.size());
  for (const AccountView& account : snapshot.accounts)
    facts.accounts.push_back(
        {account.id, account.loggedIn, account.lastPublished ? epochSeconds(account.lastPublished->time) : 0});
  facts.counts = std::move(snapshot.history.counts);
  facts.jobRunning = snapshot.job.running;
  facts.browsersRunning = snapshot.browsersRunning;
  return facts;
}

std::string metricsText(const MetricsFacts& facts) {
  prometheus::Registry registry;
  auto& published = prometheus::BuildCounter()
                        .Name("vidralo_publications_total")
                        .Help("Videos the platform took, per account")
                        .Register(registry);
  auto& failed = prometheus::BuildCounter()
                     .Name("vidralo_failures_total")
                     .Help("Videos that ended as 上传失败, per account and page step")
                     .Register(registry);
  auto& loggedIn = prometheus::BuildGauge()
                       .Name("vidralo_account_logged_in")
                       .Help("1 while the account counts as logged in, 0 once the job found it logged out")
                       .Register(registry);
  auto& lastPublication = prometheus::BuildGauge()
                              .Name("vidralo_last_publication_timestamp_seconds")
                              .Help("When the account last published, seconds since the epoch")
                              .Register(registry);
  auto& jobRunning =
      prometheus::BuildGauge().Name("vidralo_job_running").Help("1 while the publishing job runs").Register(registry);
  auto& browsers = prometheus::BuildGauge()
                       .Name("vidralo_browsers_running")
                       .Help("Browsers the program holds")
                       .Register(registry);

  // Every listed account has its series from the start, so an alert on a
  // rate sees zero rather than nothing.
  for (const MetricsFacts::Account& account : facts.accounts) {
    published.Add({{"account", account.id}});
    loggedIn.Add({{"account", account.id}}).Set(account.loggedIn ? 1 : 0);
    if (account.lastPublished > 0) lastPublication.Add({{"account", account.id}}).Set(account.lastPublished);
  }
  for (const OutcomeCount& count : facts.counts) {
    if (count.outcome == "published")
      published.Add({{"account", count.accountId}}).Increment(static_cast<double>(count.count));
    else if (count.outcome == "failed")
      failed.Add({{"account", count.accountId}, {"step", count.step}}).Increment(static_cast<double>(count.count));
  }
  jobRunning.Add({}).Set(facts.jobRunning ? 1 : 0);
  browsers.Add({}).Set(facts.browsersRunning);
  return prometheus::TextSerializer().Serialize(registry.Collect());
}

}  // namespace vidralo
