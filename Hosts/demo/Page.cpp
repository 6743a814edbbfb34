#include "Page.h"

#include <cstdio>
#include <sstream>

namespace zivdemo {

namespace {

const char* kStyle = R"(body { font-family: sans-serif; margin: 1.5em; background: #f4f5f7; color: #1d232b; }
h1 { font-size: 1.4em; margin-bottom: 0.2em; }
h2 { font-size: 1.1em; margin: 1.6em 0 0.4em; }
p.meta { color: #56606d; margin: 0.2em 0; }
div.run { display: grid; grid-template-columns: repeat(auto-fit, minmax(240px, 1fr)); gap: 14px; max-width: 1500px; }
figure { margin: 0; background: #fff; border: 1px solid #d4d8de; padding: 6px; min-width: 0; }
figure.failed { border: 2px solid #c0392b; }
/* Smoothly scaled: a thumbnail is smaller than its frame, whose text must stay
   readable; the link opens the frame pixel for pixel. */
figure img { display: block; width: 100%; height: auto; }
figcaption { font-size: 0.85em; margin-top: 4px; overflow-wrap: anywhere; }
figcaption b { display: block; }
span.note { display: block; color: #56606d; }
span.paths { display: block; color: #3b4350; font-size: 0.9em; }
figure.failed span.note { color: #c0392b; }
p.error { color: #c0392b; }
)";

// Marks every picture once the page has loaded, so that a headless browser's
// dump of the page tells which pictures it could show.
const char* kScript = R"(window.addEventListener('load', function () {
  for (const img of document.images) {
    img.setAttribute('data-loaded', img.complete && img.naturalWidth > 0 ? 'yes' : 'no');
  }
  document.body.setAttribute('data-ready', 'yes');
});
)";

std::string formatMs(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ms);
    return text;
}

std::string groupDigits(uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

} // namespace

std::string escapeHtml(const std::string& text)
{
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

std::string renderPage(const PageInfo& page)
{
    size_t frames = 0;
    for (const PageRun& run : page.runs) {
        frames += run.frames.size();
    }
    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<title>ziv demo: " << escapeHtml(page.scene) << "</title>\n<style>\n"
         << kStyle << "</style>\n<script>\n"
         << kScript << "</script>\n</head>\n<body>\n"
         << "<h1>ziv demo: " << escapeHtml(page.scene) << "</h1>\n"
         << "<p class=\"meta\">" << frames << " frames rendered by " << escapeHtml(page.module) << "</p>\n"
         << "<p class=\"meta\">Command: <code>" << escapeHtml(page.command) << "</code></p>\n"
         << "<p class=\"meta\">Figures per frame: quads queued, milliseconds per frame (clear, queue, render "
            "and clear the queue; mean of the repeats), and an estimate of the pixels blended in software "
            "(the destination area of every translucent or tinted quad in blend modes 1 and 2). Below them, what "
            "the renderer counted in the frame's last render pass (Renderer::getFrameStatistics): quads and "
            "pixels of every path, quads skipped and why.</p>\n";
    for (const PageRun& run : page.runs) {
        html << "<section>\n<h2>" << escapeHtml(run.title) << "</h2>\n";
        if (!run.identifier.empty()) {
            html << "<p class=\"meta\">" << escapeHtml(run.identifier) << "</p>\n";
        }
        if (!run.error.empty()) {
            html << "<p class=\"error\">" << escapeHtml(run.error) << "</p>\n";
        }
        html << "<div class=\"run\">\n";
        for (const PageFrame& frame : run.frames) {
            html << "<figure" << (frame.failed ? " class=\"failed\"" : "") << " data-frame=\"" << escapeHtml(frame.file)
                 << "\">\n"
                 << "<a href=\"" << escapeHtml(frame.file) << "\"><img src=\"" << escapeHtml(frame.file)
                 << "\" width=\"" << frame.width << "\" height=\"" << frame.height << "\" alt=\""
                 << escapeHtml(frame.frame) << "\"></a>\n"
                 << "<figcaption><b>" << escapeHtml(frame.frame) << "</b>" << escapeHtml(frame.file) << "<br>"
                 << frame.width << "x" << frame.height << " &middot; " << frame.quads << " quads &middot; "
                 << formatMs(frame.msPerFrame) << " ms/frame &middot; " << groupDigits(frame.blendedPixels)
                 << " px blended";
            if (!frame.note.empty()) {
                html << "<span class=\"note\">" << escapeHtml(frame.note) << "</span>";
            }
            const auto paths = page.statistics.find(frame.file);
            if (paths != page.statistics.end()) {
                html << "<span class=\"paths\">" << escapeHtml(paths->second) << "</span>";
            }
            html << "</figcaption>\n</figure>\n";
        }
        html << "</div>\n</section>\n";
    }
    html << "</body>\n</html>\n";
    return html.str();
}

} // namespace zivdemo
