#!/usr/bin/python3
"""The avahi announcement is well-formed XML that announces a raw SCPI
socket on a port, as "lxi discover -m" and VISA browsers look for it.

    avahi_test.py SERVICE_FILE
"""
import sys
import xml.dom.minidom

document = xml.dom.minidom.parse(sys.argv[1])  # a fault raises, and the test fails
assert document.documentElement.tagName == "service-group", document.documentElement.tagName
assert document.doctype and document.doctype.systemId == "avahi-service.dtd"
services = document.getElementsByTagName("service")
assert len(services) == 1, len(services)
kind = services[0].getElementsByTagName("type")[0].firstChild.data
port = int(services[0].getElementsByTagName("port")[0].firstChild.data)
assert kind == "_scpi-raw._tcp", kind
assert 0 < port < 65536, port
assert document.getElementsByTagName("name")[0].firstChild.data.strip()
print("ok")
