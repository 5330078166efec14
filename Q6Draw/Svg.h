// The scene as SVG, written as it goes: memory does not grow with the
// drawing. One <g> per item with data-ino and data-eno; coordinates are the
// model's doubles in shortest round-trip form under one Y-flipping transform;
// strokes are one pixel wide at the SVG's stated size.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Q6Draw/Scene.h"

namespace q6draw {

// Writes the SVG of the view v (grown to the aspect of w x h) at w x h
// pixels through `sink`, in pieces of about a megabyte; `describe` becomes
// the <desc>. False as soon as the sink returns false. `progress`, when
// given, hears the fraction of the items written now and then.
bool WriteSvg(const Scene& s, const View& v, int w, int h, const std::vector<std::string>& describe,
              const std::function<bool(std::string_view)>& sink,
              const std::function<void(double)>& progress = {});

// Text that the SVG writer makes through raw pointers: Room(n) gives n
// writable bytes after what is there, Done(end) keeps what was written.
class SvgText {
public:
    char* Room(std::size_t n) { return cap_ - n_ >= n ? data_.get() + n_ : Grow(n); }
    void Done(char* end) { n_ = static_cast<std::size_t>(end - data_.get()); }
    void Append(std::string_view s);
    std::string_view View() const { return {data_.get(), n_}; }
    std::size_t Size() const { return n_; }
    void Clear() { n_ = 0; }

private:
    char* Grow(std::size_t n);
    std::unique_ptr<char[]> data_;
    std::size_t n_ = 0, cap_ = 0;
};

// The same SVG written in parts, for a drawing interpreted in batches: the
// head (size, view, <desc>), the items of each batch in turn, and the tail.
// Every part returns false as soon as the sink does.
class SvgWriter {
public:
    SvgWriter(const Assumptions& a, const View& v, int w, int h, std::function<bool(std::string_view)> sink);
    bool Head(const std::vector<std::string>& describe);
    // The items of s; `progress`, when given, hears the fraction of them written.
    bool Items(const Scene& s, const std::function<void(double)>& progress = {});
    bool Tail();
    // The items of s formatted into `out` (appended), for Formatted() later.
    // It touches nothing else of the writer, so that one other thread may
    // format a batch while this one writes others.
    void Format(const Scene& s, SvgText& out);
    // Writes items that Format made, after what was written before.
    bool Formatted(std::string_view svg);

private:
    bool Flush(bool force);
    bool Put(const Scene& s, SvgText& out, bool flushing, const std::function<void(double)>& progress);
    Assumptions a_;
    View v_;
    int w_, h_;
    double scale_;
    std::function<bool(std::string_view)> sink_;
    SvgText out_;
};

// Appends s XML-escaped (& < > " ') after SafeText.
void AppendXmlText(std::string& out, std::string_view s);

}  // namespace q6draw
