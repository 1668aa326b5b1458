// What wsprintfA prints for formats of every kind (taken from the real
// function): the unit tests of the simulation and the conformance cases
// both go through these rows.
#pragma once

#include <climits>

struct WsprintfIntRow {
  const char* format;
  int value;
  const char* expected;
};

// Numbers: width, precision and flags.
inline constexpr WsprintfIntRow kWsprintfIntRows[] = {
    {"%#x", 0, "0x0"},          {"%#x", 255, "0xff"},        {"%#X", 255, "0XFF"},
    {"%-4d|", 7, "7   |"},      {"%05d", 42, "00042"},       {"%05d", -42, "-0042"},
    {"%-05d|", 42, "42   |"},   {"%5d", -42, "  -42"},       {"%u", -1, "4294967295"},
    {"%d", INT_MIN, "-2147483648"}, {"%i", -9, "-9"},        {"%x", 0, "0"},
    {"%X", 0xabcdef, "ABCDEF"}, {"%.5d", 42, "00042"},       {"%8.5d|", 42, "   00042|"},
    {"%.5x", 0x2a, "0002a"},    {"%#.5x", 0x2a, "0x0002a"},  {"%#08x", 0x2a, "0x0000002a"},
    {"%#8x|", 0x2a, "      0x2a|"}, {"%-#8x|", 0x2a, "0x2a      |"},
    {"%-#08x|", 0x2a, "0x2a      |"}, {"%#08X|", 0xabc, "0X00000ABC|"},
    {"%#5.3x|", 5, "  0x005|"}, {"%#5x|", 0, "    0x0|"},  {"%#05x|", 0, "0x00000|"},
    {"%.0d|", 0, "0|"},         {"%.0x|", 0, "0|"},          {"%#.0x|", 0, "0x0|"},
    {"%5.d|", 3, "    3|"},     {"%08.3d|", 42, "00000042|"}, {"%-08.3d|", 42, "042     |"},
    {"%.3d|", -4, "-04|"},      {"%5.3d|", -4, "  -04|"},    {"%05.3d|", -4, "-0004|"},
    {"%10.5d|", -42, "     -0042|"}, {"%-10.5d|", -42, "-0042     |"},
    {"%010.5d|", -42, "-000000042|"}, {"%5.7d|", 42, "0000042|"}, {"%.5u|", 7, "00007|"},
    {"%x|", INT_MIN, "80000000|"},
};

struct WsprintfTextRow {
  const char* format;
  const char* expected;
};

// Types wsprintfA does not know are copied as text after their padding and
// take no argument.
inline constexpr WsprintfTextRow kWsprintfUnknownRows[] = {
    {"%+d", "+d"},     {"% d", " d"},       {"%*d", "*d"},       {"%f", "f"},
    {"%e", "e"},       {"%o", "o"},         {"%#o", "o"},        {"%q", "q"},
    {"%n|", "n|"},     {"%%", "%"},         {"%", ""},           {"abc%", "abc"},
    {"%.", ""},        {"%-", ""},          {"%l", ""},          {"%#", ""},
    {"%5", "     "},   {"%5q|", "     q|"}, {"%-5q|", "q|"},     {"%5.2q|", "   q|"},
    {"%05q|", "     q|"}, {"%5%|", "     |"}, {"%-5%|", "|"},    {"%#-8x|", "-8x|"},
    {"%0-5d|", "-5d|"}, {"%--5d|", "-5d|"},  {"%-+ #0d", "+ #0d"}, {"%ll|", "l|"},
    {"%lq|", "q|"},    {"%I|", "|"},        {"%Z|", "Z|"},
};
