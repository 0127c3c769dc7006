#include "DefaultScenario.h"

namespace Srmap {

// Kept in the scenario format so that the built-in run and scenario files go
// through one parser and one runner.
char const kDefaultScenario[] =
    R"(# A four-router IS-IS area. Routers 1 and 2 run two IS-IS instances
# (protocol instances 1 and 2); router 3's IPv4 adjacency is advertised
# under its IPv4 router id (protocol instance 0).

step the status table before any mapper runs
prefix set 10.0.0.1/32 originator 1921.6800.1001 flags node sid 16001
prefix set 10.0.0.2/32 originator 1921.6800.1002 flags node sid 16002
prefix set 10.0.0.3/32 originator 1921.6800.1003 flags node sid 16003
prefix set 10.0.0.4/32 originator 1921.6800.1004 flags node sid 16004
prefix set 2001:db8::1/128 originator 1921.6800.1001 flags node sid 17001
prefix set 2001:db8::2/128 originator 1921.6800.1002 flags node sid 17002
prefix set 10.9.9.9/32 originator 1921.6800.1003 sid 16999   # a service address, no node SID
# Flexible algorithm 128 on routers 1 and 2.
prefix set 10.0.0.1/32 algo 128 originator 1921.6800.1001 flags node sid 18001
prefix set 10.0.0.2/32 algo 128 originator 1921.6800.1002 flags node sid 18002
prefix set 2001:db8::1/128 algo 128 originator 1921.6800.1001 flags node sid 19001

# Link 1 between routers 1 and 2 is known to both instances; it carries two
# IPv4 adjacency SIDs of router 1, one of them local (flag 0x40).
adj set ipv4 sid 24001 router 1921.6800.1001
nbr 1921.6800.1001 -> 1921.6800.1002 kind 2 link 1/1 local 10.0.12.1 neighbor 1921.6800.1002 metric 10 proto 1
nbr 1921.6800.1001 -> 1921.6800.1002 kind 2 link 1/1 local 10.0.12.1 neighbor 1921.6800.1002 metric 10 proto 2
adj set ipv4 sid 24003/0x40 router 1921.6800.1001
nbr 1921.6800.1001 -> 1921.6800.1002 kind 2 link 1/1 local 10.0.12.1 neighbor 1921.6800.1002 metric 10 proto 1
adj set ipv4 sid 24002 router 1921.6800.1002
nbr 1921.6800.1002 -> 1921.6800.1003 kind 2 link 3/3 local 10.0.23.2 neighbor 1921.6800.1003 metric 20 proto 1
adj set ipv4 sid 24010 router 10.0.0.3:0
nbr 1921.6800.1003 -> 1921.6800.1004 kind 2 link 4/4 local 10.0.34.3 neighbor 1921.6800.1004 metric 30 proto 0
adj set ipv6 sid 25001 router 1921.6800.1001
nbr 1921.6800.1001 -> 1921.6800.1002 kind 2 link 1/1 local 2001:db8:12::1 neighbor 1921.6800.1002 metric 10 proto 1

# Repair paths: PQ node 1 (on router 3) serves the path to router 4.
pq set 1 pathkey 1921.6800.1004 path 7 flag true
pq set 1 algo 0 prefix 10.0.0.4/32
pq set 1 algo 128 pathkey 1921.6800.1004 path 7
pq set 2 algo 0 prefix 10.0.0.2/32
prouter set 1921.6800.1003 pq 1
prouter set 1921.6800.1003 pq 2 flag false

step the mappers start: the start-up build
start node ipv4
start node ipv6
start adj ipv4
start adj ipv6

step 10.0.0.3/32 moves from router 3 to router 2
prefix set 10.0.0.3/32 originator 1921.6800.1002 flags node sid 16003

step SID 24002 of router 2 gets a second link, 5, beside link 3
adj set ipv4 sid 24002 router 1921.6800.1002
nbr 1921.6800.1002 -> 1921.6800.1003 kind 2 link 3/3 local 10.0.23.2 neighbor 1921.6800.1003 metric 20 proto 1
nbr 1921.6800.1002 -> 1921.6800.1003 kind 2 link 5/5 local 10.0.23.6 neighbor 1921.6800.1003 metric 20 proto 1

step 10.0.0.2/32 leaves flexible algorithm 128; SID 24010 of router 3 is removed
prefix del 10.0.0.2/32 algo 128
adj del ipv4 sid 24010 router 10.0.0.3:0

expect node ipv4 algo 0 1921.6800.1002 has 10.0.0.3/32
expect node ipv4 algo 0 1921.6800.1003 lacks 10.0.0.3/32
expect node ipv4 algo 128 routers 1
expect node ipv6 algo 0 routers 2
expect adj ipv4 proto 1 sid 24002 router 1921.6800.1002 links 2
expect adj ipv4 proto 2 links 1
expect adj ipv4 proto 0 links 0
expect pq 1 algo 128 pathkeys 1
expect prouter 1921.6800.1003 indexes 2
)";

}  // namespace Srmap
