<?php
// Orvex public-address service: answers the caller's address as plain text, nothing else.
// Serve this folder so that the script is reachable as http://YOUR-HOST/orvexip/ip.php and build
// Orvex with -DORVEX_PUBLIC_ADDRESS_HOST=YOUR-HOST (see README.md).
//
// The address is the one the connection came from. Behind a reverse proxy or load balancer that is
// the proxy's address; let the web server put the client's address into REMOTE_ADDR (nginx:
// real_ip_header, Apache: mod_remoteip) rather than trusting X-Forwarded-For here, which any
// caller can forge.
header('Content-Type: text/plain; charset=us-ascii');
header('Cache-Control: no-store');
echo $_SERVER['REMOTE_ADDR'] ?? '';
