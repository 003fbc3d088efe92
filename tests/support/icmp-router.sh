# A router inside a network namespace of its own (run with sh -e as root there): packets for
# 10.99.2.0/24 and 10.99.5.0/24 leave through v0 and come back in on v1, where a second routing
# table forwards them: 10.99.2.0/24 is unreachable there, 10.99.5.0/24 is forwarded (so a
# time-to-live of 1 runs out). The kernel answers both with ICMP error messages to the sender.
# Used by the ICMP client's tests and by fuzz/icmp-seeds.py.
ip link set lo up
ip link add v0 type veth peer name v1
ip addr add 10.99.3.1/24 dev v0
ip addr add 10.99.4.1/24 dev v1
ip link set v0 up
ip link set v1 up
for f in /proc/sys/net/ipv4/conf/*/rp_filter; do echo 0 > $f; done
echo 1 > /proc/sys/net/ipv4/conf/all/accept_local
echo 1 > /proc/sys/net/ipv4/conf/v1/accept_local
echo 1 > /proc/sys/net/ipv4/ip_forward
mac=$(ip -o link show v1 | grep -o 'link/ether [0-9a-f:]*' | cut -d' ' -f2)
ip neigh add 10.99.3.2 lladdr $mac dev v0
ip route add 10.99.2.0/24 via 10.99.3.2 dev v0 onlink
ip route add 10.99.5.0/24 via 10.99.3.2 dev v0 onlink
ip rule add iif v1 lookup 100
ip route add unreachable 10.99.2.0/24 table 100
ip route add 10.99.5.0/24 via 10.99.4.2 dev v1 onlink table 100
