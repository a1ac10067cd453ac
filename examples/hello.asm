; hello: prints its line through the monitor's RST 08h and returns to the
; monitor. Load hello.hex, then "G8000" runs it.
;
; examples/hello.hex is this program assembled (z80asm) and written as
; Intel HEX; the test suite checks that the two agree.

            org 8000h
hello:      ld hl,line
next:       ld a,(hl)
            or a
            ret z               ; the NUL: back to the monitor
            rst 08h             ; the monitor prints A, keeping every register
            inc hl
            jr next

            defs 8010h - $
line:       defb "Hello from the host!", 13, 10, 0

; Every byte from 20h to 97h, so a load and a verify cover printable text
; and bytes above 7Fh as well.
            defb 20h, 21h, 22h, 23h, 24h, 25h, 26h, 27h, 28h, 29h, 2ah, 2bh, 2ch, 2dh, 2eh, 2fh
            defb 30h, 31h, 32h, 33h, 34h, 35h, 36h, 37h, 38h, 39h, 3ah, 3bh, 3ch, 3dh, 3eh, 3fh
            defb 40h, 41h, 42h, 43h, 44h, 45h, 46h, 47h, 48h, 49h, 4ah, 4bh, 4ch, 4dh, 4eh, 4fh
            defb 50h, 51h, 52h, 53h, 54h, 55h, 56h, 57h, 58h, 59h, 5ah, 5bh, 5ch, 5dh, 5eh, 5fh
            defb 60h, 61h, 62h, 63h, 64h, 65h, 66h, 67h, 68h, 69h, 6ah, 6bh, 6ch, 6dh, 6eh, 6fh
            defb 70h, 71h, 72h, 73h, 74h, 75h, 76h, 77h, 78h, 79h, 7ah, 7bh, 7ch, 7dh, 7eh, 7fh
            defb 80h, 81h, 82h, 83h, 84h, 85h, 86h, 87h, 88h, 89h, 8ah, 8bh, 8ch, 8dh, 8eh, 8fh
            defb 90h, 91h, 92h, 93h, 94h, 95h, 96h, 97h
