// Callsigns in received text: the station that sends an over names itself
// after "de" ("CQ CQ de DL1ABC/P"); other callsign-shaped words are the
// stations it calls or mentions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace psk {

// True when word (upper case) has the shape of an amateur callsign: a prefix
// of letters and digits, one digit, one to four letters, optionally with a
// country prefix before a slash (DL/G4XYZ) and a portable suffix after one
// (/P, /M, /MM, /AM, /QRP, /A or a call-area digit).
bool is_callsign(std::string_view word);

struct CallsignsHeard {
  // Callsigns after "de" ("de G4XYZ G4XYZ" names it twice), in order heard,
  // repeats kept.
  std::vector<std::string> senders;
  std::vector<std::string> others;  // every other callsign-shaped word, in order heard
};

// Splits text into words (letters, digits and slashes), upper-cases them and
// sorts out the callsigns.
CallsignsHeard find_callsigns(std::string_view text);

// The callsign that sent a piece of text: the one named after "de" most
// often (of equals, the one named most in all, then the first); empty
// without any "de CALL": a callsign alone is more often the one called.
std::string sender_of(std::string_view text);

}  // namespace psk
