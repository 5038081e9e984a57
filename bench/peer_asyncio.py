#!/usr/bin/env python3
"""A minimal poller as a user would write it with asyncio: check names in turn, buy a
name the moment a check finds it free, wait the interval after each reply.

    peer_asyncio.py PORT TAG INTERVAL DURATION [START_AT_EPOCH_S]

Names are TAG + "1f0" (free at the timing stand-in), TAG + "1n1" ... (taken)."""
import asyncio
import sys
import time


async def ask(port, command, name):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    writer.write(f"GET /interface.asp?command={command}&uid=u&pw=p&sld={name}&tld=com"
                 f"&responsetype=text HTTP/1.0\r\n\r\n".encode())
    reply = await reader.read()  # the registrar closes after its reply
    writer.close()
    return reply


async def main():
    port, tag, interval, duration = int(sys.argv[1]), sys.argv[2], float(sys.argv[3]), float(sys.argv[4])
    if len(sys.argv) > 5:
        await asyncio.sleep(max(0.0, float(sys.argv[5]) - time.time()))
    names = [tag + "1f0"] + [f"{tag}1n{i}" for i in range(1, 4)]
    end = time.monotonic() + duration
    turn = 0
    while time.monotonic() < end:
        name = names[turn % len(names)]
        turn += 1
        if b"RRPCode=210" in await ask(port, "check", name):
            await ask(port, "purchase", name)
        await asyncio.sleep(interval)


asyncio.run(main())
