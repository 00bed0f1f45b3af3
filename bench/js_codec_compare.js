// Packs and unpacks the 0200 message of tests/data with the JavaScript ISO
// 8583 packagers "jspos" and "iso_8583", laid out as the C++ codec lays it
// out (tests/vksoc/codec/layout_0200.h), and prints one line per packager and
// operation: "RESULT <packager> <pack|unpack> <ns per op>", or
// "FAILED <packager> <reason>". Each packager must produce the message's bytes
// exactly and read back its elements before it is timed.
'use strict';

const fs = require('fs');
const path = require('path');

const root = path.resolve(__dirname, '..');
const message = fs.readFileSync(path.join(root, 'tests/data/iso8583_0200.bin'));
const elements = {
  2: '4761739001010119', 3: '011000', 4: '000000010000', 7: '1209223000',
  11: '004711', 41: 'ATM00042', 49: '356', 102: '00110012345678901234',
};

// The median of a few rounds, each long enough to be measured well.
function nsPerOp(op) {
  for (let i = 0; i < 2000; ++i) op();  // warm up the JIT
  let n = 1000;
  for (;;) {
    const t0 = process.hrtime.bigint();
    for (let i = 0; i < n; ++i) op();
    if (Number(process.hrtime.bigint() - t0) > 2e8) break;
    n *= 2;
  }
  const rounds = [];
  for (let r = 0; r < 5; ++r) {
    const t0 = process.hrtime.bigint();
    for (let i = 0; i < n; ++i) op();
    rounds.push(Number(process.hrtime.bigint() - t0) / n);
  }
  rounds.sort((a, b) => a - b);
  return rounds[2];
}

function check(what, cond) {
  if (!cond) throw new Error(what);
}

function sameElements(get) {
  for (const [n, value] of Object.entries(elements)) {
    check(`element ${n} reads back as ${JSON.stringify(get(Number(n)))}`, get(Number(n)) === value);
  }
}

const packagers = {
  jspos() {
    const { ISOBasePackager, packer } = require('jspos');
    const { IFA_NUMERIC, IFB_BITMAP, IFA_LLNUM, IFA_LLCHAR, IF_CHAR } = packer;
    const fld = new Array(129).fill(null);
    fld[0] = new IFA_NUMERIC(4, 'MTI', true);
    fld[1] = new IFB_BITMAP(16, 'BITMAP');
    fld[2] = new IFA_LLNUM(19, 'PAN', false);
    fld[3] = new IFA_NUMERIC(6, 'PROC_CODE', false);
    fld[4] = new IFA_NUMERIC(12, 'TXN_AMOUNT', false);
    fld[7] = new IFA_NUMERIC(10, 'TRANSMISSION_DATE_TIME', false);
    fld[11] = new IFA_NUMERIC(6, 'STAN', false);
    fld[41] = new IF_CHAR(8, 'TERMINAL_ID');
    fld[49] = new IF_CHAR(3, 'TXN_CURRENCY');
    fld[102] = new IFA_LLCHAR(28, 'ACCOUNT_ID_1');
    class Layout0200 extends ISOBasePackager {
      constructor() {
        super();
        this.setFieldPackager(fld);
      }
    }
    const layout = new Layout0200();
    const bytes = Array.from(message);
    const pack = () => {
      const m = layout.createISOMsg();
      m.setMTI('0200');
      for (const [n, value] of Object.entries(elements)) m.setField(Number(n), value);
      return m.pack();
    };
    const unpack = () => {
      const m = layout.createISOMsg();
      m.unpack(bytes);
      return m;
    };
    check('packed bytes differ from the message', Buffer.from(pack()).equals(message));
    const m = unpack();
    sameElements((n) => m.getValue(n));
    return { pack, unpack };
  },

  iso_8583() {
    const Iso8583 = require('iso_8583');
    const formats = {
      2: { ContentType: 'n', Label: 'PAN', LenType: 'llvar', MaxLen: 19 },
      3: { ContentType: 'n', Label: 'PROC_CODE', LenType: 'fixed', MaxLen: 6 },
      4: { ContentType: 'n', Label: 'TXN_AMOUNT', LenType: 'fixed', MaxLen: 12 },
      7: { ContentType: 'n', Label: 'TRANSMISSION_DATE_TIME', LenType: 'fixed', MaxLen: 10 },
      11: { ContentType: 'n', Label: 'STAN', LenType: 'fixed', MaxLen: 6 },
      41: { ContentType: 'ans', Label: 'TERMINAL_ID', LenType: 'fixed', MaxLen: 8 },
      49: { ContentType: 'an', Label: 'TXN_CURRENCY', LenType: 'fixed', MaxLen: 3 },
      102: { ContentType: 'ans', Label: 'ACCOUNT_ID_1', LenType: 'llvar', MaxLen: 28 },
    };
    const data = { 0: '0200', ...elements };
    const pack = () => new Iso8583(data, formats).getRawMessage();
    const unpack = () => new Iso8583(undefined, formats).getIsoJSON(message, { lenHeader: false });
    const packed = pack();
    check(`pack failed: ${JSON.stringify(packed && packed.error)}`, Buffer.isBuffer(packed));
    check('packed bytes differ from the message', packed.equals(message));
    const fields = unpack();
    check(`unpack failed: ${JSON.stringify(fields && fields.error)}`, fields && !fields.error);
    sameElements((n) => fields[n]);
    return { pack, unpack };
  },
};

for (const [name, make] of Object.entries(packagers)) {
  let ops;
  try {
    ops = make();
  } catch (e) {
    console.log(`FAILED ${name} ${String(e && e.message ? e.message : e).split('\n')[0]}`);
    continue;
  }
  console.log(`RESULT ${name} pack ${nsPerOp(ops.pack).toFixed(1)}`);
  console.log(`RESULT ${name} unpack ${nsPerOp(ops.unpack).toFixed(1)}`);
}
