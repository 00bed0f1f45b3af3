#pragma once

// How many connections the responder serves at once: VELK_PEERS, a decimal
// number from 1 to MAX_PEERS (40). Unset or empty: 1, one connection at a
// time as the listening port has always served them. Anything else (a sign,
// blanks, other characters, 0, above 40): 0, which the caller refuses.
int PeerLimit();

// About how many files and sockets the process holds open at most while it
// serves `peers` connections (1 to MAX_PEERS): one per connection, the
// listening socket, standard input, output and error, the error log and the
// dump file, and a message data file being read or saved.
int DescriptorsNeeded(int peers);
