// vorn_season.cpp - season and episode numbers out of release and file names.
//
// A fixed cascade of six hand-written pattern rules, tried in order; the
// first rule that produces a result ends the search. Plain ASCII scanning:
// nothing is allocated and no locale is consulted.
#include "vorn_internal.h"

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

static char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

static bool is_s(char c) { return c == 'S' || c == 's'; }

static bool is_e(char c) { return c == 'E' || c == 'e'; }

// True when p starts with word, compared with ASCII case folding on both sides.
static bool starts_ci(const char *p, const char *word) {
  for (; *word; p++, word++) {
    if (fold(*p) != fold(*word)) return false;
  }
  return true;
}

// A one- or two-digit number at p that is not followed by a further digit.
// On success stores its value and the number of digits it spans.
static bool num12(const char *p, int *value, int *width) {
  if (!is_digit(p[0])) return false;
  if (!is_digit(p[1])) {
    *value = p[0] - '0';
    *width = 1;
    return true;
  }
  if (is_digit(p[2])) return false;
  *value = (p[0] - '0') * 10 + (p[1] - '0');
  *width = 2;
  return true;
}

// The first E-letter immediately followed by a one- or two-digit number.
static bool rx_episode_e(const char *text, int *episode) {
  int width = 0;
  for (const char *p = text; *p; p++) {
    if (is_e(p[0]) && num12(p + 1, episode, &width)) return true;
  }
  return false;
}

// The first "Ep" (in exactly that case) immediately followed by a number.
static bool rx_episode_ep(const char *text, int *episode) {
  int width = 0;
  for (const char *p = text; *p; p++) {
    if (p[0] == 'E' && p[1] == 'p' && num12(p + 2, episode, &width)) return true;
  }
  return false;
}

// Whether the season word occurs anywhere, in any mix of case.
static bool has_ci(const char *text) {
  for (const char *p = text; *p; p++) {
    if (starts_ci(p, "SEASON")) return true;
  }
  return false;
}

// The episode marker: "Ep" is asked only when no E-letter marker exists, and
// an E-letter marker of 0 still counts as found.
static bool episode_marker(const char *text, int *episode) {
  return rx_episode_e(text, episode) || rx_episode_ep(text, episode);
}

// Rule 1: "S01E05", "s2.e10", "E5.S2": the marker and the first S-number,
// found independently of each other.
static bool rule_marker_pair(const char *text, int *season, int *episode) {
  int e = 0, s = 0, width = 0;
  if (!episode_marker(text, &e)) return false;
  for (const char *p = text; *p; p++) {
    if (is_s(p[0]) && num12(p + 1, &s, &width)) {
      if (s <= 0 || e <= 0) return false;
      *season = s;
      *episode = e;
      return true;
    }
  }
  return false;
}

// Rule 2: "Season 2 Episode 11", with exactly one blank around "episode".
static bool rule_spelled(const char *text, int *season, int *episode) {
  for (const char *p = text; *p; p++) {
    if (!is_s(p[0]) || !starts_ci(p + 1, "eason ")) continue;
    const char *q = p + 7;
    int s = 0, e = 0, width = 0;
    if (!num12(q, &s, &width)) continue;
    q += width;
    if (!starts_ci(q, " episode ")) continue;
    q += 9;
    if (!num12(q, &e, &width)) continue;
    if (s == 0 || e == 0) return false;
    *season = s;
    *episode = e;
    return true;
  }
  return false;
}

// Rule 3: "3x07", "12x03": one or two digits, a small 'x', an episode.
static bool rule_cross(const char *text, int *season, int *episode) {
  for (const char *p = text; *p; p++) {
    if (!is_digit(p[0])) continue;
    int s = 0;
    const char *x = nullptr;
    if (p[1] == 'x') {
      s = p[0] - '0';
      x = p + 1;
    } else if (is_digit(p[1]) && p[2] == 'x') {
      s = (p[0] - '0') * 10 + (p[1] - '0');
      x = p + 2;
    } else {
      continue;
    }
    int e = 0, width = 0;
    if (!num12(x + 1, &e, &width)) continue;
    if (s == 0 || e == 0) return false;
    *season = s;
    *episode = e;
    return true;
  }
  return false;
}

// Rule 4: "Show 1015 1080p": the first run of one to four digits with a
// blank on both sides. Numbers from 892 to 1199 belong to season 21.
static bool rule_bare(const char *text, int *season, int *episode) {
  for (const char *p = text; *p; p++) {
    if (p == text || p[-1] != ' ' || !is_digit(p[0])) continue;
    int n = 0, run = 0;
    while (is_digit(p[run])) {
      if (run < 4) n = n * 10 + (p[run] - '0');
      run++;
    }
    if (run > 4 || p[run] != ' ') {
      p += run - 1;
      continue;
    }
    if (n == 0) return false;
    *season = n >= 892 && n <= 1199 ? 21 : 1;
    *episode = n;
    return true;
  }
  return false;
}

// Rule 5: "Show.E05", "Show Ep05": the marker alone, in season 1.
static bool rule_marker_alone(const char *text, int *season, int *episode) {
  int e = 0;
  if (!episode_marker(text, &e) || e <= 0) return false;
  *season = 1;
  *episode = e;
  return true;
}

// Rule 6: "S01EP05", "s1ep2". As the last rule, a zero number at its first
// full match leaves no result, the same as no match.
static bool rule_compact(const char *text, int *season, int *episode) {
  for (const char *p = text; *p; p++) {
    int s = 0, e = 0, width = 0;
    if (!is_s(p[0]) || !num12(p + 1, &s, &width)) continue;
    const char *q = p + 1 + width;
    if (!starts_ci(q, "ep") || !num12(q + 2, &e, &width)) continue;
    if (s == 0 || e == 0) return false;
    *season = s;
    *episode = e;
    return true;
  }
  return false;
}

static bool run_rules(const char *name, int *s, int *e) {
  if (rule_marker_pair(name, s, e) || rule_spelled(name, s, e) || rule_cross(name, s, e)) return true;
  if (!has_ci(name) && (rule_bare(name, s, e) || rule_marker_alone(name, s, e))) return true;
  return rule_compact(name, s, e);
}

int vorn_season_episode(const char *name, int *season, int *episode) {
  if (!name || !name[0]) return 0;
  int s = 0, e = 0;
  if (!run_rules(name, &s, &e)) return 0;
  *season = s;
  *episode = e;
  return 1;
}
