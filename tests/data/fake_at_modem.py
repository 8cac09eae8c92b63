'''A 3GPP modem with voice calls that answers AT commands on a Unix socket, for ModemManager's
generic plugin (the real daemon, started by the tests with --test-enable, is given the socket
through its Test interface's SetProfile). Usage: fake_at_modem.py SOCKET

It answers what the generic plugin asks while probing and enabling (identity, SIM ready, radio on,
registered home), dials voice calls ("ATD<number>;" then an active call in +CLCC until AT+CHUP or
AT+CHLD=1x) and data calls ("ATD*99***1#" answers CONNECT), and answers OK or ERROR to the rest.
'''

import os
import re
import socket
import sys
import threading

ANSWERS = {
    'AT+GCAP': '+GCAP: +CGSM,+DS,+ES',
    'AT+CGMI': 'Acme', 'AT+CGMM': 'ZX 56K', 'AT+CGMR': '1.0', 'AT+CGSN': '490154203237518',
    'ATI': 'Acme ZX 56K',
    'AT+CFUN?': '+CFUN: 1', 'AT+CPIN?': '+CPIN: READY', 'AT+CIMI': '222015602268648',
    'AT+CGDCONT=?': '+CGDCONT: (1-10),"IP",,,(0-2),(0-4)',
    'AT+CGDCONT?': '+CGDCONT: 1,"IP","ibox.tim.it","0.0.0.0",0,0',
    'AT+CREG?': '+CREG: 0,1', 'AT+CGREG?': '+CGREG: 0,1', 'AT+CEREG?': '+CEREG: 0,1',
    'AT+COPS?': '+COPS: 0,2,"22201",2',
    'AT+CSQ': '+CSQ: 20,99',
    'AT+CIND=?': '+CIND: ("battchg",(0-5)),("signal",(0-5)),("service",(0-1))',
    'AT+CIND?': '+CIND: 5,3,1',
    'AT+CGATT?': '+CGATT: 1',
    'AT+CNUM': '+CNUM: ,"+393331234567",145',
    'AT+CLCK=?': '+CLCK: ("SC","PN")',
}
REFUSED = ('AT+CSIM', 'AT+CRSM', 'AT+IFC=?', 'AT+CMER=?', 'AT+CGEREP=?')

call = {'number': None}
lock = threading.Lock()


def answer(line):
    upper = line.upper()
    with lock:
        if upper.startswith('ATD'):
            if line.endswith(';'):
                call['number'] = line[3:-1]
                return 'OK'
            return 'CONNECT 115200'
        if upper == 'AT+CLCC':
            number = call['number']
            return f'+CLCC: 1,0,0,0,0,"{number}",129\r\n\r\nOK' if number else 'OK'
        if upper in ('AT+CHUP', 'ATH') or upper.startswith('AT+CHLD=1'):
            call['number'] = None
            return 'OK'
    if upper in ANSWERS:
        return ANSWERS[upper] + '\r\n\r\nOK'
    if upper.startswith(REFUSED) or (upper.endswith('=?') and upper != 'AT+CLCC=?'):
        return 'ERROR'
    return 'OK'


def serve(connection):
    pending = b''
    while True:
        data = connection.recv(4096)
        if not data:
            return
        pending += data
        while b'\r' in pending:
            raw, pending = pending.split(b'\r', 1)
            line = raw.strip().decode('latin1')
            if line:
                connection.sendall(('\r\n' + answer(line) + '\r\n').encode('latin1'))


def main():
    path = sys.argv[1]
    if os.path.exists(path):
        os.unlink(path)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    server.listen(4)
    print('ready', flush=True)
    while True:
        connection, _ = server.accept()
        threading.Thread(target=serve, args=(connection,), daemon=True).start()


main()
