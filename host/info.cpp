#include "host/info.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string_view>

#include "host/args.h"
#include "host/text.h"
#include "project/project_writer.h"

namespace klp::tools {
namespace {

using lint::GlobalValues;
using lint::LineAt;
using lint::ReadTrace;
using lint::ReadTraced;

std::string Count(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string LineNote(int64_t line) { return line > 0 ? "line " + std::to_string(line) : ""; }

std::string Visibility(int32_t visibility) {
  if (visibility == 0) return "hidden";
  if (visibility == 1) return "shown";
  return "visibility " + std::to_string(visibility);
}

std::string EffectText(const CEffectInfo& effect) {
  return "frame colour " + ColourText(effect.frameColor) + ", highlight " + ColourText(effect.highlightColor) +
         ", line width " + std::to_string(effect.lineWidth) + ", " + Visibility(effect.visibility);
}

// What an event carries beyond its name and frame.
std::string EventAction(const CEventInfo& event) {
  if (event.kind == "URL") return "URL " + Quoted(event.url) + " target " + Quoted(event.urlTarget);
  if (event.kind == "TAC") {
    return "TAC " + Quoted(event.tacParam1) + " " + Quoted(event.tacParam2) + " " +
           Quoted(event.tacParam3);
  }
  if (event.kind.empty() && event.params.empty()) return "";
  return Quoted(event.kind) + " " + Quoted(event.params);
}

std::string LinkAction(const CLinkInfo& link) {
  if (link.kind == "URL") return "URL " + Quoted(link.url) + " target " + Quoted(link.urlTarget);
  if (link.kind == "SEEK") return "SEEK " + Quoted(link.seekParam);
  if (link.kind == "PLAYER") return "PLAYER " + Quoted(link.playerParam);
  return Quoted(link.kind);
}

constexpr std::string_view kHelp =
    "usage: klp info PROJECT.klp [--json]\n"
    "\n"
    "Reads a project file as the plug-in reads it and shows what it holds: the movie, the\n"
    "number of records, each hot spot with its frames, shape, effect and key frames, the markers\n"
    "and events in the order they fire, the links and the effects, each with its line.\n"
    "\n"
    "options:\n"
    "  --json      print every record, with its line, as one JSON object; bytes that are not\n"
    "              valid UTF-8 are written as \\u00XX (read as Latin-1)\n"
    "  -h, --help  show this help\n"
    "\n"
    "exit status: 0 read, 2 the project cannot be read or bad arguments\n";

}  // namespace

std::string InfoText(const TracedProject& read) {
  const CProjectInfo& project = read.project;
  const ReadTrace& trace = read.trace;
  std::string out;
  out += "project  " + project.path + "\n";
  out += "version  " + Quoted(project.version) + "\n";
  out += "movie    " + Quoted(project.source);
  if (project.source == "*") out += " (no Source in [Global])";
  out += "\n";
  out += "records  " + Count(project.markers.size(), "marker", "markers") + ", " +
         Count(project.events.size(), "event", "events") + ", " +
         Count(project.hotSpots.size(), "hot spot", "hot spots") + ", " +
         Count(project.links.size(), "link", "links") + ", " +
         Count(project.effects.size(), "effect", "effects");
  if (trace.global) out += " (HotSpot=" + std::to_string(trace.global->hotSpots) + " in [Global])";
  out += "\n";

  if (!project.hotSpots.empty()) {
    out += "\nhot spots\n";
    for (std::size_t i = 0; i < project.hotSpots.size(); ++i) {
      const CHotSpotInfo& spot = *project.hotSpots[i];
      out += "  " + Quoted(spot.name) + "  " + LineNote(LineAt(trace.hotSpotLines, i)) +
             "  shape " + Quoted(spot.shape) + "  frames " + std::to_string(spot.startFrame) + "-" +
             std::to_string(spot.endFrame) + "  link " + Quoted(spot.linkName) + "\n";
      const CEffectInfo* effect = nullptr;
      const int found = project.FindEffect(spot.name, -1, &effect);
      out += "    effect ";
      out += found >= 0 ? LineNote(LineAt(trace.effectLines, found)) + ": " + EffectText(*effect)
                        : "none: frame colour 0000FF, highlight FF0000, line width 3";
      out += "\n";
      const std::vector<int64_t> none;
      const auto& keyLines = i < trace.keyFrameLines.size() ? trace.keyFrameLines[i] : none;
      for (std::size_t k = 0; k < spot.keyFrames.size(); ++k) {
        const KeyFrame& key = spot.keyFrames[k];
        out += "    key frame " + std::to_string(key.frame) + ": " + std::to_string(key.left) +
               "," + std::to_string(key.top) + " to " + std::to_string(key.right) + "," +
               std::to_string(key.bottom) + "  " + LineNote(LineAt(keyLines, k)) + "\n";
      }
      if (spot.keyFrames.empty()) out += "    no key frames\n";
    }
  }

  // Markers and events by frame, as they fire: all markers of a frame before its events, each
  // group in file order.
  struct Moment {
    int32_t frame;
    bool event;
    std::size_t index;
  };
  std::vector<Moment> moments;
  for (std::size_t i = 0; i < project.markers.size(); ++i) {
    moments.push_back({project.markers[i]->frame, false, i});
  }
  for (std::size_t i = 0; i < project.events.size(); ++i) {
    moments.push_back({project.events[i]->frame, true, i});
  }
  std::stable_sort(moments.begin(), moments.end(), [](const Moment& a, const Moment& b) {
    return a.frame != b.frame ? a.frame < b.frame : (!a.event && b.event);
  });
  if (!moments.empty()) {
    out += "\ntime line\n";
    for (const Moment& m : moments) {
      char frame[16];
      std::snprintf(frame, sizeof frame, "%10d", m.frame);
      if (m.event) {
        const CEventInfo& event = *project.events[m.index];
        const std::string action = EventAction(event);
        out += std::string("  ") + frame + "  event   " + Quoted(event.name) + "  " +
               LineNote(LineAt(trace.eventLines, m.index)) + (action.empty() ? "" : "  " + action) +
               "\n";
      } else {
        out += std::string("  ") + frame + "  marker  " + Quoted(project.markers[m.index]->name) +
               "  " + LineNote(LineAt(trace.markerLines, m.index)) + "\n";
      }
    }
  }

  if (!project.links.empty()) {
    out += "\nlinks\n";
    for (std::size_t i = 0; i < project.links.size(); ++i) {
      const CLinkInfo& link = *project.links[i];
      out += "  " + Quoted(link.name) + "  " + LineNote(LineAt(trace.linkLines, i)) + "  " +
             LinkAction(link) + "\n";
    }
  }
  if (!project.effects.empty()) {
    out += "\neffects\n";
    for (std::size_t i = 0; i < project.effects.size(); ++i) {
      const CEffectInfo& effect = *project.effects[i];
      out += "  " + Quoted(effect.name) + "  " + LineNote(LineAt(trace.effectLines, i)) + "  " +
             EffectText(effect);
      if (project.FindHotSpot(effect.name, -1, nullptr) < 0) out += "  (no hot spot of this name)";
      out += "\n";
    }
  }
  return out;
}

std::string InfoJson(const TracedProject& read) {
  const CProjectInfo& project = read.project;
  const ReadTrace& trace = read.trace;
  JsonWriter json;
  const auto line = [&](const std::vector<int64_t>& lines, std::size_t i) -> JsonWriter& {
    const int64_t number = LineAt(lines, i);
    json.Key("line");
    return number > 0 ? json.Number(number) : json.Null();
  };
  json.BeginObject().Key("file").String(project.path);
  json.Key("version").String(project.version).Key("source").String(project.source);
  json.Key("global");
  if (trace.global) {
    const GlobalValues& g = *trace.global;
    json.BeginObject().Key("event").Number(g.events).Key("marker").Number(g.markers);
    json.Key("hotSpot").Number(g.hotSpots).Key("link").Number(g.links);
    json.Key("effect").Number(g.effects).EndObject();
  } else {
    json.Null();
  }

  json.Key("markers").BeginArray();
  for (std::size_t i = 0; i < project.markers.size(); ++i) {
    const CMarkerInfo& marker = *project.markers[i];
    json.BeginObject();
    line(trace.markerLines, i);
    json.Key("name").String(marker.name).Key("frame").Number(marker.frame).EndObject();
  }
  json.EndArray();

  json.Key("events").BeginArray();
  for (std::size_t i = 0; i < project.events.size(); ++i) {
    const CEventInfo& event = *project.events[i];
    json.BeginObject();
    line(trace.eventLines, i);
    json.Key("name").String(event.name).Key("frame").Number(event.frame);
    json.Key("kind").String(event.kind).Key("params").String(event.params);
    json.Key("url").String(event.url).Key("urlTarget").String(event.urlTarget);
    json.Key("tacParam1").String(event.tacParam1).Key("tacParam2").String(event.tacParam2);
    json.Key("tacParam3").String(event.tacParam3).EndObject();
  }
  json.EndArray();

  json.Key("hotSpots").BeginArray();
  for (std::size_t i = 0; i < project.hotSpots.size(); ++i) {
    const CHotSpotInfo& spot = *project.hotSpots[i];
    json.BeginObject();
    line(trace.hotSpotLines, i);
    json.Key("name").String(spot.name).Key("linkName").String(spot.linkName);
    json.Key("shape").String(spot.shape).Key("startFrame").Number(spot.startFrame);
    json.Key("endFrame").Number(spot.endFrame).Key("keyFrameCount").Number(spot.keyFrameCount);
    json.Key("keyFrames").BeginArray();
    const std::vector<int64_t> none;
    const auto& keyLines = i < trace.keyFrameLines.size() ? trace.keyFrameLines[i] : none;
    for (std::size_t k = 0; k < spot.keyFrames.size(); ++k) {
      const KeyFrame& key = spot.keyFrames[k];
      json.BeginObject();
      line(keyLines, k);
      json.Key("frame").Number(key.frame).Key("left").Number(key.left);
      json.Key("top").Number(key.top).Key("right").Number(key.right);
      json.Key("bottom").Number(key.bottom).EndObject();
    }
    json.EndArray().EndObject();
  }
  json.EndArray();

  json.Key("links").BeginArray();
  for (std::size_t i = 0; i < project.links.size(); ++i) {
    const CLinkInfo& link = *project.links[i];
    json.BeginObject();
    line(trace.linkLines, i);
    json.Key("name").String(link.name).Key("kind").String(link.kind);
    json.Key("seekParam").String(link.seekParam).Key("playerParam").String(link.playerParam);
    json.Key("url").String(link.url).Key("urlTarget").String(link.urlTarget);
    json.Key("extra").String(link.extra).EndObject();
  }
  json.EndArray();

  json.Key("effects").BeginArray();
  for (std::size_t i = 0; i < project.effects.size(); ++i) {
    const CEffectInfo& effect = *project.effects[i];
    json.BeginObject();
    line(trace.effectLines, i);
    json.Key("name").String(effect.name).Key("frameColor").Number(effect.frameColor);
    json.Key("highlightColor").Number(effect.highlightColor);
    json.Key("lineWidth").Number(effect.lineWidth).Key("visibility").Number(effect.visibility);
    json.EndObject();
  }
  json.EndArray().EndObject();
  return json.str() + "\n";
}

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Args parsed = ParseArgs(args, {}, {"--json"});
  if (parsed.help) {
    out << kHelp;
    return 0;
  }
  std::string usage = parsed.error;
  if (usage.empty() && parsed.positional.size() != 1) {
    usage = parsed.positional.empty() ? "no project file given" : "give one project file";
  }
  if (!usage.empty()) {
    err << "klp info: " << usage << "\nusage: klp info PROJECT.klp [--json]\n";
    return 2;
  }
  const auto read = ReadTraced(parsed.positional[0]);
  if (!read->opened) {
    err << "klp info: cannot open " << parsed.positional[0] << ": " << read->openError << "\n";
    return 2;
  }
  if (read->result != 0) {
    err << "klp info: " << parsed.positional[0] << " cannot be read\n";
    return 2;
  }
  out << (parsed.flags.count("--json") != 0 ? InfoJson(*read) : InfoText(*read));
  return 0;
}

}  // namespace klp::tools
