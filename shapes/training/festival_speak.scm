;; Speaks lines with one Festival voice for the shape model's training (make_festival.py writes a
;; file that loads this one, selects the voice and calls speak-lines). Each line becomes
;; PREFIX-N.wav; PREFIX.seg gets "N END NAME" for every segment, END in seconds from the line's
;; start: Festival's own timing of each phone.
(define (speak-lines lines prefix stretch)
  (Parameter.set 'Duration_Stretch stretch)
  (let ((segs (fopen (string-append prefix ".seg") "w"))
        (n 0))
    (mapcar
     (lambda (line)
       (let ((utt (utt.synth (eval (list 'Utterance 'Text line)))))
         (utt.save.wave utt (string-append prefix "-" n ".wav") 'riff)
         (mapcar
          (lambda (seg) (format segs "%d %f %s\n" n (item.feat seg "end") (item.name seg)))
          (utt.relation.items utt 'Segment)))
       (set! n (+ n 1)))
     lines)
    (fclose segs)))
