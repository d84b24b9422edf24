; plasma.asm - a graphics demo: moving colour waves, one frame per tick of a host timer.
;
; Each pixel's colour comes from a palette of 256 colours, indexed by the sum of three
; sine waves over x, y and x + y that shift with the frame number. Sines and palette are
; computed once at the start with the F32 instructions; a frame needs only byte arithmetic.

        .include "tarquil.inc"

WIDTH       = 160
HEIGHT      = 100
TIMER_ID    = 1
INTERVAL    = 40                        ; milliseconds per frame

start:  MOV.32  #stack, sp
        MOV.32  #title, [text_ptr]
        CALL    set_title
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_GRAPHICS, r2
        MOV.32  #WIDTH, r8
        MOV.32  #HEIGHT, r12
        SYS
        CALL    make_sines
        CALL    make_palette
        CALL    draw_frame
        MOV.32  #TIMER_ID, r24
        MOV.32  #INTERVAL, r28
        CALL    start_timer

main:   GETEVENT
        JNZ.8   .event, r0
        WAIT
        JMP     main
.event: EQ.8    r0, #EVENT_SYSTEM, r24
        JZ.8    main, r24
        EQ.8    r1, #KIND_TIMER, r24
        JZ.8    main, r24
        CALL    draw_frame
        JMP     main

; sines[i] = 128 + 127 sin(2 pi i / 256), as bytes.
make_sines:
        CLR.32  [index]
.loop:  CVT.U32.F32 [index], [angle]
        MUL.F32 [angle], #6.2831853 / 256, [angle]
        SIN.F32 [angle], [angle]
        MUL.F32 [angle], #127.0, [angle]
        ADD.F32 [angle], #128.0, [angle]
        ADD.U32 [index], #sines, r24
        CVT.F32.U8 [angle], [[r24]]
        INC.U32 [index]
        LT.U32  [index], #256, r24
        JNZ.8   .loop, r24
        RET

; palette[i]: red, green and blue follow the same wave a third of a turn apart.
make_palette:
        CLR.32  [index]
        CLR.32  r0
.loop:  MOV.8   [index], r0
        ADD.U32 r0, #sines, r24
        MOV.8   [[r24]], [colour]       ; red
        ADD.U8  r0, #85, r4
        CLR.8   r5
        CLR.16  r6
        ADD.U32 r4, #sines, r24
        MOV.8   [[r24]], [colour + 1]   ; green
        ADD.U8  r0, #170, r4
        ADD.U32 r4, #sines, r24
        MOV.8   [[r24]], [colour + 2]   ; blue
        MUL.U32 [index], #4, r24
        ADD.U32 r24, #palette, r24
        MOV.32  [colour], [[r24]]
        INC.U32 [index]
        LT.U32  [index], #256, r24
        JNZ.8   .loop, r24
        RET

; One frame. Registers while drawing (no system call inside the loops):
;   r0  pixel address      r4 (byte) x      r5 (byte) y      r6 (byte) frame mod 256
;   r7  (byte) row wave    r8 a table index (bytes 9 - 11 stay 0)
;   r12 table address      r16 (byte) colour index    r17 (byte) loop test
;   r20 palette address
draw_frame:
        INC.U32 [frame]
        MOV.8   [frame], r6
        CLR.32  r8
        MOV.32  #pixels, r0
        CLR.8   r5
.row:   ADD.U8  r5, r5, r8              ; the row wave: sines[2y + 3t]
        ADD.U8  r8, r6, r8
        ADD.U8  r8, r6, r8
        ADD.U8  r8, r6, r8
        ADD.U32 r8, #sines, r12
        MOV.8   [[r12]], r7
        CLR.8   r4
.pixel: MUL.U8  r4, #3, r8              ; sines[3x + t]
        ADD.U8  r8, r6, r8
        ADD.U32 r8, #sines, r12
        ADD.U8  [[r12]], r7, r16
        ADD.U8  r4, r5, r8              ; sines[x + y - 2t]
        SUB.U8  r8, r6, r8
        SUB.U8  r8, r6, r8
        ADD.U32 r8, #sines, r12
        ADD.U8  [[r12]], r16, r16
        ADD.U8  r16, r6, r8             ; the palette turns as well
        MUL.U32 r8, #4, r20
        ADD.U32 r20, #palette, r20
        MOV.32  [[r20]], [[r0]]
        ADD.U32 r0, #4, r0
        INC.U8  r4
        LT.U8   r4, #WIDTH, r17
        JNZ.8   .pixel, r17
        INC.U8  r5
        LT.U8   r5, #HEIGHT, r17
        JNZ.8   .row, r17
        MOV.16  #GROUP_SCREEN | SCREEN_SET_PIXELS << 8, r0
        MOV.32  #pixels, r4
        SYS
        JMP     refresh

title:  .asciz "Plasma"
frame:  .dword 0
index:  .dword 0
angle:  .f32 0
colour: .dword 0

        .include "common.inc"

        .align 4
sines:  .fill 256
palette: .fill 256 * 4
pixels:                                 ; WIDTH * HEIGHT dwords behind the program
stack = pixels + WIDTH * HEIGHT * 4
