#include "fleet/html_report.h"

#include <cerrno>
#include <cstring>

#include "fleet/reasons.h"
#include "fleet/record_fields.h"
#include "fleet/safe_cell.h"

namespace cairn {
namespace {

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

constexpr const char* Head = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>cairnmark-fleet: %DOMAIN%</title>
<style>
body{font-family:sans-serif;margin:1.5em;display:flex;flex-direction:column}
#summary{order:-1}
table{border-collapse:collapse;font-size:90%}
th,td{border:1px solid #bbb;padding:2px 6px;text-align:left;white-space:nowrap}
th{background:#eee;cursor:pointer}
tr.fail td{background:#fdecea}
.tiles{display:flex;gap:1em;margin:0.5em 0}
.tile{border:1px solid #bbb;border-radius:6px;padding:0.5em 1em;min-width:8em}
.tile b{display:block;font-size:200%}
#filter{margin:0.5em 0;width:30em}
svg text{font-size:12px}
</style></head><body>
<input id="filter" type="search" placeholder="show only the rows holding this text"
 aria-label="filter the records">
<table id="records"><thead><tr>)";

// The page's source keeps lines of at most this many characters.
constexpr std::size_t SourceLineWidth = 100;

std::string tableHead() {
  std::string head;
  std::size_t lineLength = 0;
  for (const RecordField& field : recordFields()) {
    const std::string cell = std::string("<th>") + field.heading + "</th>";
    if (lineLength + cell.size() > SourceLineWidth) {
      head += '\n';
      lineLength = 0;
    }
    head += cell;
    lineLength += cell.size();
  }
  return "\n" + head + "</tr></thead><tbody>\n";
}

constexpr const char* SortScript = R"(<script>
document.querySelectorAll('#records th').forEach(function (th, column) {
  th.addEventListener('click', function () {
    var body = document.querySelector('#records tbody');
    var rows = Array.prototype.slice.call(body.rows);
    var up = th.dataset.order !== 'up';
    th.dataset.order = up ? 'up' : 'down';
    rows.sort(function (a, b) {
      var x = a.cells[column].textContent, y = b.cells[column].textContent;
      var order = (x !== '' && y !== '' && !isNaN(x) && !isNaN(y)) ? x - y : x.localeCompare(y);
      return up ? order : -order;
    });
    rows.forEach(function (row) { body.appendChild(row); });
  });
});
// The filter starts from the address's fragment (page.html#pc01), so a link can show one PC.
var filter = document.getElementById('filter');
function applyFilter() {
  var text = filter.value.toLowerCase();
  document.querySelectorAll('#records tbody tr').forEach(function (row) {
    row.hidden = text !== '' && row.textContent.toLowerCase().indexOf(text) < 0;
  });
}
filter.value = decodeURIComponent(location.hash.slice(1));
filter.addEventListener('input', applyFilter);
applyFilter();
</script>
)";

std::string cell(std::string_view text) {
  return "<td>" + escaped(safeCell(text)) + "</td>";
}

std::string tile(const char* label, std::size_t count) {
  return "<div class=\"tile\"><b>" + std::to_string(count) + "</b>" + label + "</div>";
}

// The counts an administrator acts on, first on the page.
std::string tiles(const FleetSummary& summary) {
  std::size_t notReached = 0;
  for (const auto& [reason, count] : summary.byReason) {
    if (reasonIsNotReached(reason)) notReached += count;
  }
  return "<div class=\"tiles\">" + tile("passed", summary.passed) +
         tile("failed", summary.failed()) + tile("not reached", notReached) +
         tile("policy overrides", summary.policyOverrides.size()) + "</div>\n";
}

// Each reason of the run with its count and what to do about it, in one line.
std::string nextSteps(const FleetSummary& summary) {
  std::string list =
      "<table id=\"reasons\"><tr><th>reason</th><th>PCs</th><th>next step</th></tr>\n";
  for (const auto& [reason, count] : summary.byReason) {
    list += "<tr><td>" + escaped(reason) + "</td><td>" + std::to_string(count) + "</td><td>" +
            escaped(nextStep(reason)) + "</td></tr>\n";
  }
  return list + "</table>\n";
}

std::string chart(const FleetSummary& summary) {
  constexpr int BarHeight = 22;
  constexpr int LabelWidth = 170;
  constexpr int BarSpace = 400;
  std::size_t most = 1;
  for (const auto& entry : summary.byReason) most = std::max(most, entry.second);
  const int height = BarHeight * static_cast<int>(summary.byReason.size()) + 4;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    std::to_string(LabelWidth + BarSpace + 80) + "\" height=\"" +
                    std::to_string(height) + "\" role=\"img\" aria-label=\"PCs per outcome\">\n";
  int y = 2;
  for (const auto& [reason, count] : summary.byReason) {
    const auto width = static_cast<int>(BarSpace * count / most);
    const char* colour = reason == "ok" ? "#2e7d32" : "#c62828";
    svg += "<text x=\"0\" y=\"" + std::to_string(y + 15) + "\">" + escaped(reason) + "</text>";
    svg += "<rect x=\"" + std::to_string(LabelWidth) + "\" y=\"" + std::to_string(y) +
           "\" width=\"" + std::to_string(std::max(width, 1)) + "\" height=\"" +
           std::to_string(BarHeight - 4) + "\" fill=\"" + colour + "\"/>";
    svg += "<text x=\"" + std::to_string(LabelWidth + width + 6) + "\" y=\"" +
           std::to_string(y + 15) + "\">" + std::to_string(count) + "</text>\n";
    y += BarHeight;
  }
  return svg + "</svg>\n";
}

}  // namespace

std::string HtmlReport::open(const std::string& path, const std::string& domain) {
  if (path.empty()) return {};
  path_ = path;
  if (const std::string cause = openOutputFile(path, false, file_); !cause.empty())
    return "--html " + path + ": " + cause;
  std::string head = Head;
  head.replace(head.find("%DOMAIN%"), 8, escaped(domain));
  head += tableHead();
  return write(head);
}

std::string HtmlReport::addRow(const PcRecord& r) {
  std::string row = r.exitCode == 0 ? "<tr>" : "<tr class=\"fail\">";
  for (const RecordField& field : recordFields()) row += cell(fieldText(field.value(r)));
  return write(row + "</tr>\n");
}

std::string HtmlReport::finish(const FleetSummary& summary) {
  const std::string error =
      write("</tbody></table>\n<section id=\"summary\"><h1>cairnmark-fleet</h1>\n" +
            tiles(summary) + nextSteps(summary) + "<pre>" + escaped(summaryText(summary)) +
            "</pre>\n" + chart(summary) + "</section>\n" + SortScript + "</body></html>\n");
  file_.reset();
  return error;
}

std::string HtmlReport::write(const std::string& text) {
  if (!file_ || failed_) return {};
  const std::string cause = writeAll(file_.get(), text);
  if (cause.empty()) return {};
  failed_ = true;
  file_.reset();
  return "--html " + path_ + ": " + cause;
}

}  // namespace cairn
