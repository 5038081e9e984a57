#!/usr/bin/env python3
"""A minimal poller as a user would write it with asyncio: check names in turn, buy a
name the moment a check finds it free, wait the interval after each reply.

    peer_asyncio.py PORT TAG INTERVAL DURATION [START_AT_EPOCH_S] [--tls CAFILE] [--ahead]

Names are TAG + "1f0" (free at the timing stand-in), TAG + "1n1" ... (taken). With --tls
it speaks TLS, trusting CAFILE. With --ahead it opens the connection for each check a
lead (200 ms) before the check is due, and a second one beside it for the purchase a
"free" reply calls for, as the program does. asyncio cannot hand a session to a new
connection, so every handshake is a full one. Before its first request and after its
last it prints its CPU time and the monotonic clock, "cpu_ns CPU AT" (nanoseconds), so
that its start-up is not counted."""
import asyncio
import ssl
import sys
import time

LEAD = 0.2


def mark():
    print(f"cpu_ns {time.process_time_ns()} {time.monotonic_ns()}", flush=True)


def request(command, name):
    return (f"GET /interface.asp?command={command}&uid=u&pw=p&sld={name}&tld=com"
            f"&responsetype=text HTTP/1.0\r\n\r\n").encode()


async def connect(port, context):
    host = "127.0.0.1"
    return await asyncio.open_connection(host, port, ssl=context,
                                         server_hostname=host if context else None)


async def ask_on(connection, command, name):
    reader, writer = connection
    writer.write(request(command, name))
    reply = await reader.read()  # the registrar closes after its reply
    writer.close()
    return reply


async def ask(port, context, command, name):
    return await ask_on(await connect(port, context), command, name)


async def main():
    args = [a for a in sys.argv[1:]]
    context = None
    ahead = "--ahead" in args
    if ahead:
        args.remove("--ahead")
    if "--tls" in args:
        at = args.index("--tls")
        context = ssl.create_default_context(cafile=args[at + 1])
        del args[at:at + 2]
    port, tag, interval, duration = int(args[0]), args[1], float(args[2]), float(args[3])
    if len(args) > 4:
        await asyncio.sleep(max(0.0, float(args[4]) - time.time()))
    names = [tag + "1f0"] + [f"{tag}1n{i}" for i in range(1, 4)]
    end = time.monotonic() + duration
    turn = 0
    mark()
    if not ahead:
        while time.monotonic() < end:
            name = names[turn % len(names)]
            turn += 1
            if b"RRPCode=210" in await ask(port, context, "check", name):
                await ask(port, context, "purchase", name)
            await asyncio.sleep(interval)
        return
    # Connections opened ahead: one for the check, one beside it for a purchase.
    held = await asyncio.gather(connect(port, context), connect(port, context))
    while True:
        name = names[turn % len(names)]
        turn += 1
        check, spare = held
        if b"RRPCode=210" in await ask_on(check, "check", name):
            await ask_on(spare, "purchase", name)
            spare = None
        due = time.monotonic() + interval
        if due >= end:
            if spare:
                spare[1].close()
            return
        await asyncio.sleep(max(0.0, due - LEAD - time.monotonic()))
        if spare:
            held = [spare, await connect(port, context)]
        else:
            held = await asyncio.gather(connect(port, context), connect(port, context))
        await asyncio.sleep(max(0.0, due - time.monotonic()))


asyncio.run(main())
mark()
