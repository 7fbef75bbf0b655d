// The documented example project: two markers, an event, a hot spot with two key frames, a
// link and an effect.
#pragma once

inline constexpr char kWorkedExample[] =
    "[Global]\r\n"
    "KLPVersion=1.00\r\n"
    "Source=tour.mpg\r\n"
    "HotSpot=1\r\n"
    "[Marker]\r\n"
    "start:0\r\n"
    "scene2:450\r\n"
    "[Event]\r\n"
    "bell:300:TAC:one,two,three\r\n"
    "[HotSpot]\r\n"
    "(door:doorlink:R:100-400:2)\r\n"
    "100:10,20,60,90\r\n"
    "400:200,20,250,90\r\n"
    "[Link]\r\n"
    "doorlink:URL:page2.html,main\r\n"
    "[Effect]\r\n"
    "door:FF00:2:FFFF:1\r\n";
