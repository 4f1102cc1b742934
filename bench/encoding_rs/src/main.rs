// encoding_rs as a converter of files, a peer in bench/run.sh: reads 64 KiB at a time, converts
// with the streaming API, writes.   encoding_rs decode|encode LABEL < IN > OUT
use std::io::{Read, Write};
fn main() {
    let args: Vec<String> = std::env::args().collect();
    let enc = encoding_rs::Encoding::for_label(args[2].as_bytes()).expect("label");
    let mut input = std::io::stdin().lock();
    let mut output = std::io::BufWriter::with_capacity(1 << 16, std::io::stdout().lock());
    let mut buf = vec![0u8; 1 << 16];
    let mut out = vec![0u8; 4 * (1 << 16) + 64];
    if args[1] == "decode" {
        let mut dec = enc.new_decoder_without_bom_handling();
        loop {
            let n = input.read(&mut buf).unwrap();
            let last = n == 0;
            let (_r, read, written, _) = dec.decode_to_utf8(&buf[..n], &mut out, last);
            assert_eq!(read, n);
            output.write_all(&out[..written]).unwrap();
            if last {
                break;
            }
        }
    } else {
        let mut encd = enc.new_encoder();
        let mut carry: Vec<u8> = Vec::new();
        loop {
            let n = input.read(&mut buf).unwrap();
            let last = n == 0;
            carry.extend_from_slice(&buf[..n]);
            // Whole UTF-8 sequences only: a cut one waits for the next read.
            let mut cut = carry.len();
            if !last {
                while cut > 0 && (carry[cut - 1] & 0xC0) == 0x80 {
                    cut -= 1;
                }
                if cut > 0 && carry[cut - 1] >= 0xC0 {
                    cut -= 1;
                }
            }
            let s = std::str::from_utf8(&carry[..cut]).expect("utf8");
            let (_r, read, written, _) = encd.encode_from_utf8(s, &mut out, last);
            assert_eq!(read, cut);
            output.write_all(&out[..written]).unwrap();
            carry.drain(..cut);
            if last {
                break;
            }
        }
    }
}
