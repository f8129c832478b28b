#!/usr/bin/python3
"""The avahi announcement is well-formed XML that announces a raw SCPI
socket and VXI-11 (its port mapper), as "lxi discover -m" and VISA browsers
look for them.

    avahi_test.py SERVICE_FILE
"""
import sys
import xml.dom.minidom

document = xml.dom.minidom.parse(sys.argv[1])  # a fault raises, and the test fails
assert document.documentElement.tagName == "service-group", document.documentElement.tagName
assert document.doctype and document.doctype.systemId == "avahi-service.dtd"
announced = {}
for service in document.getElementsByTagName("service"):
    kind = service.getElementsByTagName("type")[0].firstChild.data
    announced[kind] = int(service.getElementsByTagName("port")[0].firstChild.data)
assert set(announced) == {"_scpi-raw._tcp", "_vxi-11._tcp", "_lxi._tcp"}, announced
assert 0 < announced["_scpi-raw._tcp"] < 65536, announced
assert announced["_vxi-11._tcp"] == 111, announced
assert document.getElementsByTagName("name")[0].firstChild.data.strip()
print("ok")
