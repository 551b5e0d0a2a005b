// The report as one HTML page for a browser, also offline: the chart is
// inline SVG, the table sorting a few lines of inline script, and the page's
// own policy forbids it to load anything at all.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tools/quillon/report.h"
#include "tools/quillon/report_format.h"

namespace quillon::tools::report {

namespace {

// The chart shows at most this many days, the latest ones.
constexpr long long kChartDays = 366;
// The page lists at most this many computers and users, those whose last run
// failed first; the text, CSV and JSON forms list every one kept.
constexpr std::size_t kPageUsers = 5'000;

// SHA-256 (FIPS 180-4) of the page's own script, which its policy names as
// the only script that may run: an injected one, whatever the escaping
// missed, does not.
std::array<std::uint8_t, 32> Sha256(std::string_view data) {
  static constexpr std::uint32_t kRound[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::string message(data);
  const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
  message += static_cast<char>(0x80);
  while (message.size() % 64 != 56) message += '\0';
  for (int shift = 56; shift >= 0; shift -= 8) message += static_cast<char>((bits >> shift) & 0xFF);
  auto rotate = [](std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
  for (std::size_t block = 0; block < message.size(); block += 64) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
      w[i] = 0;
      for (int j = 0; j < 4; ++j) {
        w[i] = (w[i] << 8) | static_cast<std::uint8_t>(message[block + static_cast<std::size_t>(4 * i + j)]);
      }
    }
    for (int i = 16; i < 64; ++i) {
      const std::uint32_t s0 = rotate(w[i - 15], 7) ^ rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 = rotate(w[i - 2], 17) ^ rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
    for (int i = 0; i < 64; ++i) {
      const std::uint32_t t1 = k + (rotate(e, 6) ^ rotate(e, 11) ^ rotate(e, 25)) + ((e & f) ^ (~e & g)) +
                               kRound[i] + w[i];
      const std::uint32_t t2 = (rotate(a, 2) ^ rotate(a, 13) ^ rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      k = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += k;
  }
  std::array<std::uint8_t, 32> digest{};
  for (std::size_t i = 0; i < 32; ++i) digest[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

std::string Base64(const std::array<std::uint8_t, 32>& bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t chunk = (static_cast<std::uint32_t>(bytes[i]) << 16) |
                                (i + 1 < bytes.size() ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    out += kAlphabet[(chunk >> 18) & 63];
    out += kAlphabet[(chunk >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(chunk >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[chunk & 63] : '=';
  }
  return out;
}

std::string Escaped(std::string_view narrow) {
  const std::string utf8 = Utf8(narrow);
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string result = text;
  if (result.size() > 2 && result.compare(result.size() - 2, 2, ".0") == 0) result.resize(result.size() - 2);
  return result;
}

// A round step for the grid lines: at most five of them reach `largest`.
long GridStep(long largest) {
  for (long scale = 1;; scale *= 10) {
    for (long step : {scale, 2 * scale, scale >= 10 ? 25 * scale / 10 : 2 * scale, 5 * scale}) {
      if (step * 5 >= largest) return step;
    }
  }
}

struct Slot {
  std::string label;
  bool unknown = false;
  DayCounts counts;
};

std::string Chart(const Summary& summary, std::string* caption) {
  std::vector<Slot> slots;
  long long first = 0, last = 0;
  bool any = false;
  for (const auto& [day, counts] : summary.days) {
    if (day == kUnknownDay) continue;
    if (!any) first = day;
    last = day;
    any = true;
  }
  if (any) {
    long long from = first;
    if (last - first + 1 > kChartDays) {
      from = last - kChartDays + 1;
      *caption = "The last " + Grouped(kChartDays) + " days of " + Grouped(last - first + 1) + ".";
    }
    for (long long day = from; day <= last; ++day) {
      Slot slot;
      slot.label = IsoDay(day);
      if (auto found = summary.days.find(day); found != summary.days.end()) slot.counts = found->second;
      slots.push_back(slot);
    }
  }
  if (auto unknown = summary.days.find(kUnknownDay); unknown != summary.days.end()) {
    slots.push_back({"unknown day", true, unknown->second});
  }
  if (slots.empty()) return "<p>No runs were found.</p>\n";

  long largest = 1;
  for (const Slot& slot : slots) largest = std::max(largest, slot.counts.Total());
  const long step = GridStep(largest);
  const long lines = (largest + step - 1) / step;
  const long top = step * lines;
  const double slotWidth = std::clamp(960.0 / static_cast<double>(slots.size()), 4.0, 36.0);
  const double left = 56, plotTop = 12, plotHeight = 200, bottom = 40;
  // Room on the right for the last day's label, centred under its bar.
  const double width = left + slotWidth * static_cast<double>(slots.size()) + 40;
  const double height = plotTop + plotHeight + bottom;
  auto y = [&](double value) { return plotTop + plotHeight - plotHeight * value / static_cast<double>(top); };

  std::string svg = "<svg id=\"chart\" role=\"img\" aria-labelledby=\"chart-title\" width=\"" +
                    Number(width) + "\" height=\"" + Number(height) + "\" viewBox=\"0 0 " +
                    Number(width) + " " + Number(height) + "\">\n<title id=\"chart-title\">Runs per day by outcome</title>\n";
  for (long line = 0; line <= lines; ++line) {
    const double at = y(static_cast<double>(step * line));
    svg += "<line class=\"grid\" x1=\"" + Number(left) + "\" x2=\"" + Number(width - 36) + "\" y1=\"" +
           Number(at) + "\" y2=\"" + Number(at) + "\"/><text class=\"axis\" x=\"" + Number(left - 6) +
           "\" y=\"" + Number(at + 4) + "\" text-anchor=\"end\">" + Grouped(step * line) + "</text>\n";
  }
  const std::size_t labelEvery =
      std::max<std::size_t>(1, static_cast<std::size_t>(84.0 / slotWidth + 0.999));
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const Slot& slot = slots[i];
    const double x = left + slotWidth * static_cast<double>(i);
    const double barWidth = std::max(2.0, slotWidth * 0.72);
    const double barX = x + (slotWidth - barWidth) / 2;
    const DayCounts& c = slot.counts;
    svg += "<g class=\"day" + std::string(slot.unknown ? " unknown" : "") + "\" data-day=\"" +
           (slot.unknown ? std::string("unknown") : slot.label) + "\" data-total=\"" +
           std::to_string(c.Total()) + "\"><title>" + slot.label + ": " + Grouped(c.Total()) +
           (c.Total() == 1 ? " run" : " runs") + ", " + Grouped(c.succeeded) + " succeeded, " +
           Grouped(c.alreadyDone) + " already done, " + Grouped(c.failed) + " failed</title>";
    svg += "<rect class=\"slot\" x=\"" + Number(x) + "\" y=\"" + Number(plotTop) + "\" width=\"" +
           Number(slotWidth) + "\" height=\"" + Number(plotHeight) + "\"/>";
    double base = 0;
    for (const auto& [value, kind] : {std::pair{c.succeeded, "succeeded"}, std::pair{c.alreadyDone, "already"},
                                      std::pair{c.failed, "failed"}}) {
      if (value == 0) continue;
      const double from = y(base), to = y(base + static_cast<double>(value));
      svg += "<rect class=\"bar " + std::string(kind) + "\" x=\"" + Number(barX) + "\" y=\"" + Number(to) +
             "\" width=\"" + Number(barWidth) + "\" height=\"" + Number(std::max(from - to, 0.5)) + "\"/>";
      base += static_cast<double>(value);
    }
    if (slot.unknown || i % labelEvery == 0) {
      svg += "<text class=\"axis\" x=\"" + Number(x + slotWidth / 2) + "\" y=\"" +
             Number(plotTop + plotHeight + 16) + "\" text-anchor=\"middle\">" +
             (slot.unknown ? std::string("unknown") : slot.label) + "</text>";
    }
    svg += "</g>\n";
  }
  svg += "<line class=\"baseline\" x1=\"" + Number(left) + "\" x2=\"" + Number(width - 36) + "\" y1=\"" +
         Number(y(0)) + "\" y2=\"" + Number(y(0)) + "\"/>\n</svg>\n";
  return svg;
}

std::string Cell(const std::string& text, const std::string& sortKey = {}, const char* className = nullptr) {
  std::string cell = "<td";
  if (className) cell += std::string(" class=\"") + className + "\"";
  if (!sortKey.empty()) cell += " data-sort=\"" + sortKey + "\"";
  return cell + ">" + text + "</td>";
}

std::string NumberCell(long value) { return Cell(Grouped(value), std::to_string(value), "number"); }

std::string MillisecondsCell(std::uint64_t value) {
  const auto shown = static_cast<long long>(std::min<std::uint64_t>(value, LLONG_MAX));
  return Cell(Grouped(shown), std::to_string(shown), "number");
}

std::string Header(const char* label, bool numeric) {
  return std::string("<th scope=\"col\"") + (numeric ? " class=\"number\" data-type=\"number\"" : "") +
         "><button type=\"button\">" + label + "</button></th>";
}

constexpr const char* kStyle = R"(
:root { color-scheme: light; --ok: #2e7d32; --already: #78909c; --failed: #c62828; --line: #d7dce1; }
* { box-sizing: border-box; }
body { font: 14px/1.45 system-ui, -apple-system, "Segoe UI", sans-serif; margin: 0; color: #1d2530; background: #f5f7f9; }
header { background: #1f3a5f; color: #fff; padding: 18px 28px; }
header h1 { margin: 0; font-size: 22px; font-weight: 600; }
header p { margin: 4px 0 0; opacity: .85; word-break: break-all; }
main { padding: 20px 28px 40px; max-width: 1280px; }
section { background: #fff; border: 1px solid var(--line); border-radius: 6px; padding: 16px 20px; margin-bottom: 18px; }
h2 { font-size: 16px; margin: 0 0 12px; }
.totals { display: flex; flex-wrap: wrap; gap: 12px; margin: 0 0 14px; padding: 0; list-style: none; }
.totals li { background: #fff; border: 1px solid var(--line); border-radius: 6px; padding: 10px 16px; min-width: 132px; }
.totals b { display: block; font-size: 22px; }
.totals .failed b { color: var(--failed); } .totals .succeeded b { color: var(--ok); }
.files p { margin: 2px 0; }
.legend { display: flex; gap: 16px; margin: 0 0 6px; padding: 0; list-style: none; }
.legend li::before { content: ""; display: inline-block; width: 12px; height: 12px; margin-right: 6px; vertical-align: -1px; border-radius: 2px; background: var(--swatch); }
.chart { overflow-x: auto; }
svg text.axis { font-size: 11px; fill: #56616d; }
svg .grid { stroke: #e8ebee; } svg .baseline { stroke: #9aa4ae; }
svg .slot { fill: transparent; } svg g.day:hover .slot { fill: #eef2f6; }
svg .bar.succeeded { fill: var(--ok); } svg .bar.already { fill: var(--already); } svg .bar.failed { fill: var(--failed); }
svg g.unknown .bar { opacity: .6; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: 5px 8px; border-bottom: 1px solid #eceff2; vertical-align: top; }
th { position: sticky; top: 0; background: #fff; border-bottom: 2px solid var(--line); white-space: nowrap; }
th button { font: inherit; font-weight: 600; color: inherit; background: none; border: 0; padding: 2px 4px; cursor: pointer; }
th button:focus-visible { outline: 2px solid #1f6feb; border-radius: 3px; }
th[aria-sort="ascending"] button::after { content: " \25B2"; font-size: 10px; }
th[aria-sort="descending"] button::after { content: " \25BC"; font-size: 10px; }
.number { text-align: right; font-variant-numeric: tabular-nums; }
.outcome { font-weight: 600; white-space: nowrap; }
.time { white-space: nowrap; font-variant-numeric: tabular-nums; }
.outcome.failed { color: var(--failed); } .outcome.succeeded { color: var(--ok); } .outcome.already { color: #546e7a; }
tr.failed td:first-child { box-shadow: inset 3px 0 var(--failed); }
.lines { font-family: ui-monospace, Consolas, monospace; font-size: 12px; }
.lines .warning { color: #8a5a00; }
details summary { cursor: pointer; font-weight: 600; }
.muted { color: #6b7683; }
)";

// Sorting by a click on a column's header (or Enter and Space on its button):
// first ascending, then descending; numbers and times by their data-sort.
constexpr const char* kScript = R"(
for (const table of document.querySelectorAll('table.sortable')) {
  for (const header of table.tHead.rows[0].cells) {
    header.querySelector('button').addEventListener('click', () => {
      const ascending = header.getAttribute('aria-sort') !== 'ascending';
      for (const other of table.tHead.rows[0].cells) other.removeAttribute('aria-sort');
      header.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
      const column = header.cellIndex;
      const numeric = header.dataset.type === 'number';
      const key = row => {
        const cell = row.cells[column];
        const value = cell.dataset.sort !== undefined ? cell.dataset.sort : cell.textContent;
        return numeric ? Number(value) : value.toLowerCase();
      };
      const rows = Array.from(table.tBodies[0].rows);
      rows.sort((a, b) => {
        const x = key(a), y = key(b);
        const order = numeric ? x - y : x < y ? -1 : x > y ? 1 : 0;
        return ascending ? order : -order;
      });
      const sorted = document.createDocumentFragment();
      for (const row of rows) sorted.appendChild(row);
      table.tBodies[0].appendChild(sorted);
    });
  }
}
)";

}  // namespace

std::string HtmlPage(const Summary& summary) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'; script-src 'sha256-" + Base64(Sha256(kScript)) + "'\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Quillon report: " +
      Escaped(summary.folder) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<header><h1>Quillon report</h1><p>" +
      Escaped(summary.folder) + "</p></header>\n<main>\n";

  const long failing = summary.UsersFailing();
  page += "<ul class=\"totals\">";
  auto total = [&page](const char* className, const std::string& value, const char* label) {
    page += std::string("<li class=\"") + className + "\"><b>" + value + "</b>" + label + "</li>";
  };
  total("runs", Grouped(summary.runs), "runs");
  total("succeeded", Grouped(summary.succeeded), "succeeded");
  total("failed", Grouped(summary.failed), "failed");
  total("already", Grouped(summary.alreadyDone), "already done");
  total("users", Grouped(static_cast<long>(summary.users.size())), "users");
  total("computers", Grouped(summary.computers), "computers");
  total("failed", Grouped(failing), "last run failed");
  page += "</ul>\n";

  page += "<section class=\"files\"><h2>Files</h2><p>" + Grouped(summary.filesFound) + " found; read " +
          Grouped(summary.outputFiles) + " output files, " + Grouped(summary.debugFiles) + " debug files, " +
          Grouped(summary.mailBackups) + " e-mail back-ups; " + Grouped(summary.ignoredFiles) +
          " other files ignored (no reports).</p>\n<p id=\"skipped\">" +
          Escaped(IssuesSentence(summary.issues, IssueGroup::Skipped)) + ".</p>\n";
  if (summary.issues.ReadInPart() > 0) {
    page += "<p>" + Escaped(IssuesSentence(summary.issues, IssueGroup::ReadInPart)) + ".</p>\n";
  }
  if (summary.issues.Repaired() > 0) {
    page += "<p>" + Escaped(IssuesSentence(summary.issues, IssueGroup::Repaired)) + ".</p>\n";
  }
  if (summary.failedFilesUnread > 0 || summary.foldersUnread > 0) {
    page += "<p id=\"failed-unread\">" + Escaped(FailedUnreadSentence(summary)) + ".</p>\n";
  }
  if (!summary.issues.files.empty()) {
    page += "<details><summary>Files skipped or not read whole</summary><ul>";
    for (const auto& [file, issue] : summary.issues.files) {
      page += "<li>" + Escaped(file) + ": " + IssueName(issue) + "</li>";
    }
    page += "</ul></details>\n";
  }
  page += "</section>\n";

  if (summary.notTargeted > 0) {
    page += "<section><h2>Not targeted</h2><p class=\"muted\" id=\"not-targeted-total\">" +
            Grouped(summary.notTargeted) +
            (summary.notTargeted == 1 ? " computer" : " computers") +
            " left out by the document's targeting at their last run, by reason; not "
            "counted among the runs.</p>\n<table id=\"not-targeted\" class=\"sortable\"><thead><tr>" +
            Header("Reason", false) + Header("Computers", true) + "</tr></thead>\n<tbody>\n";
    for (const auto& [kind, count] : summary.notTargetedByReason) {
      page += "<tr>" + Cell(Escaped(kind)) + NumberCell(count) + "</tr>\n";
    }
    page += "</tbody></table></section>\n";
  }

  std::string caption;
  const std::string chart = Chart(summary, &caption);
  page += "<section><h2>Runs per day</h2><ul class=\"legend\">"
          "<li style=\"--swatch: var(--ok)\">succeeded</li>"
          "<li style=\"--swatch: var(--already)\">already done</li>"
          "<li style=\"--swatch: var(--failed)\">failed</li></ul>\n";
  if (!caption.empty()) page += "<p class=\"muted\">" + caption + "</p>\n";
  page += "<div class=\"chart\">" + chart + "</div></section>\n";

  page += "<section><h2>Every computer and user</h2>\n<table id=\"users\" class=\"sortable\"><thead><tr>" +
          Header("Computer", false) + Header("User", false) + Header("Last outcome", false) +
          Header("Last run", false) + Header("Runs", true) + Header("Succeeded", true) +
          Header("Failed", true) + Header("Already done", true) + Header("Lines of the last run", false) +
          "</tr></thead>\n<tbody>\n";
  // Those whose last run failed first: what needs looking at.
  std::vector<const UserSummary*> rows;
  for (const auto& [key, user] : summary.users) rows.push_back(&user);
  std::stable_partition(rows.begin(), rows.end(),
                        [](const UserSummary* user) { return user->lastOutcome == Outcome::Failed; });
  const std::size_t usersLeftOut = rows.size() > kPageUsers ? rows.size() - kPageUsers : 0;
  rows.resize(rows.size() - usersLeftOut);
  for (const UserSummary* row : rows) {
    const UserSummary& user = *row;
    const Outcome outcome = user.lastOutcome;
    const char* outcomeClass = outcome == Outcome::Failed      ? "failed"
                               : outcome == Outcome::Succeeded ? "succeeded"
                                                               : "already";
    std::string lines;
    for (const Problem& problem : user.lastProblems) {
      lines += "<div class=\"" + std::string(problem.failure ? "failure" : "warning") + "\"" +
               (problem.explanation.empty() ? "" : " title=\"" + Escaped(problem.explanation) + "\"") + ">" +
               Escaped(problem.line) + "</div>";
    }
    if (user.lastProblemsLeftOut > 0) {
      lines += "<div>(" + Grouped(static_cast<long long>(user.lastProblemsLeftOut)) + " more)</div>";
    }
    const std::string when = user.lastTime ? user.lastTime->Iso() : "unknown";
    page += std::string("<tr") + (outcome == Outcome::Failed ? " class=\"failed\"" : "") + ">" +
            Cell(Escaped(UserName(user.computer))) + Cell(Escaped(UserName(user.user))) +
            Cell(OutcomeName(outcome), {}, (std::string("outcome ") + outcomeClass).c_str()) +
            Cell(when, user.lastTime ? when : std::string(" "), "time") + NumberCell(user.runs) +
            NumberCell(user.succeeded) + NumberCell(user.failed) + NumberCell(user.alreadyDone) +
            Cell(lines, {}, "lines") + "</tr>\n";
  }
  page += "</tbody></table>\n";
  if (usersLeftOut > 0) {
    page += "<p class=\"muted\" id=\"users-not-shown\">and " + Grouped(static_cast<long long>(usersLeftOut)) +
            " more computers and users not shown on this page (more than " +
            Grouped(static_cast<long long>(kPageUsers)) + "); the text, CSV and JSON forms list them.</p>\n";
  }
  if (summary.runsOfUsersNotShown > 0) {
    page += "<p class=\"muted\">" + Escaped(UsersNotShownSentence(summary)) + ".</p>\n";
  }
  page += "</section>\n";

  if (!summary.driversNeeded.empty() || summary.driverNeedsNotShown > 0) {
    page += "<section><h2>Drivers users could not get</h2><p class=\"muted\">Connections refused "
            "for want of their driver (error 3019, 5 or 1223). A staging run at computer start-up "
            "(QuillonEngine /StageDrivers as the local system account) installs them.</p>\n"
            "<ul id=\"drivers-needed\">";
    for (const DriverNeedCounts* need : summary.DriverNeedsByUsers()) {
      page += "<li>" + Escaped(DriverNeedSentence(*need)) + "</li>";
    }
    page += "</ul>\n";
    if (summary.driverNeedsNotShown > 0) {
      page += "<p class=\"muted\">" + Escaped(DriverNeedsNotShownSentence(summary)) + ".</p>\n";
    }
    page += "</section>\n";
  }

  if (!summary.staging.empty() || summary.stagingRunsNotShown > 0) {
    page += "<section><h2>Driver staging</h2><p class=\"muted\">" + Escaped(kStagingExplained) + " " +
            Grouped(summary.stagingRuns) + " staging runs.</p>\n"
            "<table id=\"staging\" class=\"sortable\"><thead><tr>" +
            Header("Computer", false) + Header("Last outcome", false) + Header("Last run", false) +
            Header("Runs", true) + Header("Failed", true) + Header("Installed", true) +
            Header("Already installed", true) + Header("Lines of the last run", false) +
            "</tr></thead>\n<tbody>\n";
    std::vector<const StagingSummary*> computers;
    for (const auto& [key, computer] : summary.staging) computers.push_back(&computer);
    std::stable_partition(computers.begin(), computers.end(),
                          [](const StagingSummary* computer) { return computer->lastFailed; });
    const std::size_t left = computers.size() > kPageUsers ? computers.size() - kPageUsers : 0;
    computers.resize(computers.size() - left);
    for (const StagingSummary* computer : computers) {
      std::string lines;
      for (const std::string& line : computer->lastInstalledLines) {
        lines += "<div>" + Escaped(line) + "</div>";
      }
      for (const Problem& problem : computer->lastProblems) {
        lines += "<div class=\"failure\"" +
                 (problem.explanation.empty() ? std::string() : " title=\"" + Escaped(problem.explanation) + "\"") +
                 ">" + Escaped(problem.line) + "</div>";
      }
      const std::string when = computer->lastTime ? computer->lastTime->Iso() : "unknown";
      page += std::string("<tr") + (computer->lastFailed ? " class=\"failed\"" : "") + ">" +
              Cell(Escaped(UserName(computer->computer))) +
              Cell(StagingOutcomeName(computer->lastFailed), {},
                   computer->lastFailed ? "outcome failed" : "outcome succeeded") +
              Cell(when, computer->lastTime ? when : std::string(" "), "time") +
              NumberCell(computer->runs) + NumberCell(computer->failed) +
              NumberCell(computer->lastInstalled) + NumberCell(computer->lastAlreadyInstalled) +
              Cell(lines, {}, "lines") + "</tr>\n";
    }
    page += "</tbody></table>\n";
    if (left > 0) {
      page += "<p class=\"muted\">and " + Grouped(static_cast<long long>(left)) +
              " more computers not shown on this page; the text, CSV and JSON forms list them.</p>\n";
    }
    if (summary.stagingRunsNotShown > 0) {
      page += "<p class=\"muted\">and " + Grouped(summary.stagingRunsNotShown) +
              " more staging runs of computers not shown: more than " +
              Grouped(static_cast<long long>(kKeptUsers)) + " computers.</p>\n";
    }
    page += "</section>\n";
  }

  if (!summary.oldServers.empty() || summary.movesNotShown > 0) {
    page += "<section><h2>Old servers</h2><p class=\"muted\">Connections the runs moved away from each server.</p>\n"
            "<table id=\"servers\" class=\"sortable\"><thead><tr>" +
            Header("Server", false) + Header("Moves", true) + Header("Failed moves", true) +
            "</tr></thead>\n<tbody>\n";
    for (const auto& [key, server] : summary.oldServers) {
      page += "<tr>" + Cell(Escaped(server.name)) + NumberCell(server.moves) + NumberCell(server.failedMoves) +
              "</tr>\n";
    }
    page += "</tbody></table>\n";
    if (summary.movesNotShown > 0) {
      page += "<p class=\"muted\" id=\"moves-not-shown\">" + Escaped(MovesNotShownSentence(summary)) + ".</p>\n";
    }
    page += "</section>\n";
  }

  if (!summary.printServers.empty() || summary.printServerLinesNotShown > 0) {
    page += "<section><h2>Slow or unreachable print servers</h2><p class=\"muted\">" +
            Escaped(kPrintServersExplained) + "</p>\n<table id=\"print-servers\" class=\"sortable\"><thead><tr>" +
            Header("Server", false) + Header("Unreachable runs", true) + Header("Calls not made", true) +
            Header("Slow calls", true) + Header("Longest (ms)", true) + Header("Total (ms)", true) +
            Header("Runs with slow calls", true) + "</tr></thead>\n<tbody>\n";
    for (const PrintServerTrouble* server : summary.PrintServersByTrouble()) {
      page += std::string("<tr") + (server->unreachableRuns > 0 ? " class=\"failed\"" : "") + ">" +
              Cell(Escaped(PrintServerName(*server))) + NumberCell(server->unreachableRuns) +
              NumberCell(server->callsNotMade) + NumberCell(server->slowCalls) +
              MillisecondsCell(server->longestMs) + MillisecondsCell(server->totalMs) +
              NumberCell(server->slowRuns) + "</tr>\n";
    }
    page += "</tbody></table>\n";
    if (summary.printServerLinesNotShown > 0) {
      page += "<p class=\"muted\" id=\"print-servers-not-shown\">" +
              Escaped(PrintServerLinesNotShownSentence(summary)) + ".</p>\n";
    }
    page += "</section>\n";
  }

  page += "<section><details><summary>Runs per day as numbers</summary>\n<table id=\"days\" class=\"sortable\"><thead><tr>" +
          Header("Day", false) + Header("Runs", true) + Header("Succeeded", true) + Header("Failed", true) +
          Header("Already done", true) + "</tr></thead>\n<tbody>\n";
  auto dayRow = [&page](long long day, const DayCounts& counts) {
    page += "<tr>" + Cell(day == kUnknownDay ? "unknown" : IsoDay(day)) + NumberCell(counts.Total()) +
            NumberCell(counts.succeeded) + NumberCell(counts.failed) + NumberCell(counts.alreadyDone) +
            "</tr>\n";
  };
  for (const auto& [day, counts] : summary.days) {
    if (day != kUnknownDay) dayRow(day, counts);
  }
  if (auto unknown = summary.days.find(kUnknownDay); unknown != summary.days.end()) {
    dayRow(kUnknownDay, unknown->second);
  }
  page += "</tbody></table></details></section>\n</main>\n<script>" + std::string(kScript) +
          "</script>\n</body>\n</html>\n";
  return page;
}

}  // namespace quillon::tools::report
